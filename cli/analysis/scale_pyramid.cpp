#include "cli/analysis/scale_pyramid.h"

namespace ruvovav::analysis {

namespace {

LumaImage halve(const LumaImage& fine) {
    LumaImage coarse;
    coarse.width = fine.width / 2;
    coarse.height = fine.height / 2;
    coarse.y.resize(static_cast<std::size_t>(coarse.width) * coarse.height);
    for (int row = 0; row < coarse.height; ++row) {
        const float* top = fine.y.data() + static_cast<std::size_t>(2 * row) * fine.width;
        const float* bottom = top + fine.width;
        float* out = coarse.y.data() + static_cast<std::size_t>(row) * coarse.width;
        for (int x = 0; x < coarse.width; ++x) {
            out[x] = 0.25f * (top[2 * x] + top[2 * x + 1] + bottom[2 * x] + bottom[2 * x + 1]);
        }
    }
    return coarse;
}

}  // namespace

std::vector<LumaImage> blockMeanPyramid(const LumaImage& luma, int levels) {
    std::vector<LumaImage> pyramid;
    if (!luma.valid() || levels < 1) return pyramid;
    pyramid.push_back(luma);
    while (static_cast<int>(pyramid.size()) < levels && pyramid.back().width >= 2 &&
           pyramid.back().height >= 2) {
        pyramid.push_back(halve(pyramid.back()));
    }
    return pyramid;
}

}  // namespace ruvovav::analysis
