// One frame as the render loop sees it: RGBA floats, whatever the source's format was.
#pragma once

#include <vector>

namespace ruvovav::media {

// Straight (un-premultiplied) alpha, first row = top row, 4 floats per pixel, nominal range 0..1
// (float sources may exceed it); alpha is 1 when the source has none.
struct Picture {
    int width = 0, height = 0;
    std::vector<float> rgba;
};

}  // namespace ruvovav::media
