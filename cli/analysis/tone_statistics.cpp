#include "cli/analysis/tone_statistics.h"

#include <vector>

namespace ruvovav::analysis {

namespace {

std::vector<float> clippedMask(const LumaImage& luma) {
    std::vector<float> mask(luma.y.size());
    for (std::size_t i = 0; i < mask.size(); ++i) {
        mask[i] = (luma.y[i] <= kClipLow || luma.y[i] >= kClipHigh) ? 1.0f : 0.0f;
    }
    return mask;
}

double boxSum(const IntegralImage& table, const PixelBox& b) {
    return table.sum(b.x, b.y, b.x + b.width, b.y + b.height);
}

double area(const PixelBox& b) {
    return static_cast<double>(b.width) * b.height;
}

}  // namespace

ToneMaps::ToneMaps(const LumaImage& luma)
    : luma_(luma.width, luma.height, luma.y),
      clipped_(luma.width, luma.height, clippedMask(luma)) {}

float ToneMaps::meanLuma(const PixelBox& box) const {
    return static_cast<float>(boxSum(luma_, box) / area(box));
}

float ToneMaps::clippedFraction(const PixelBox& box) const {
    return static_cast<float>(boxSum(clipped_, box) / area(box));
}

}  // namespace ruvovav::analysis
