// The analysis box in frame pixels, from the two corner points of "Analysis Box".
#pragma once

namespace Plugin {

// Pixel columns left .. right - 1 and rows bottom .. top - 1, origin at the frame's
// bottom-left corner.
struct BoxEdges {
    int left = 0;
    int bottom = 0;
    int right = 0;
    int top = 0;

    int width() const { return right - left; }
    int height() const { return top - bottom; }
    bool empty() const { return width() <= 0 || height() <= 0; }
    // Whether at least one pixel of the box lies inside a frame of this size.
    bool overlapsFrame(int frameWidth, int frameHeight) const;
};

// Corners in pixels from the frame's centre, x to the right and y upwards, in either order.
// Each edge is rounded to the nearest pixel edge. Edges are kept within +-2^29 so that the
// size always fits an int; non-finite corners give an empty box.
BoxEdges boxEdges(int frameWidth, int frameHeight, double x1, double y1, double x2, double y2);

}  // namespace Plugin
