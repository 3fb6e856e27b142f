// The procedural scene behind the synthetic clips: an outdoor shot with sky, trees, a wall,
// a floor with a rug, a sign, a fence and small objects, laid out and coloured by a seed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "cli/media/picture.h"

namespace ruvovav::footage {

// Display-referred (sRGB) colours, 3 floats per pixel, top row first. Larger than a frame
// when the camera pans over it.
struct Canvas {
    int width = 0, height = 0;
    std::vector<float> rgb;

    float* at(int x, int y) { return &rgb[(size_t(y) * width + x) * 3]; }
    const float* at(int x, int y) const { return &rgb[(size_t(y) * width + x) * 3]; }
};

Canvas paintScene(int width, int height, uint32_t seed);

// The frame that sees the canvas from (originX, originY) on, sampled bilinearly. `out` keeps
// its size; the view must lie inside the canvas.
void sampleView(const Canvas& canvas, double originX, double originY, media::Picture& out);

}  // namespace ruvovav::footage
