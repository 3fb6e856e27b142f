// Brightness of boxes of one frame: mean Y' and the share of clipped pixels.
#pragma once

#include "cli/analysis/analysis_types.h"
#include "cli/analysis/integral_image.h"

namespace ruvovav::analysis {

// Pixels at or beyond the first and last 8-bit codes count as clipped: their noise has
// been cut off, so measuring there would set thresholds too low.
inline constexpr float kClipLow = 1.0f / 255.0f;
inline constexpr float kClipHigh = 254.0f / 255.0f;

class ToneMaps {
public:
    explicit ToneMaps(const LumaImage& luma);

    // box must lie in the frame and be non-empty.
    float meanLuma(const PixelBox& box) const;
    float clippedFraction(const PixelBox& box) const;

private:
    IntegralImage luma_;
    IntegralImage clipped_;  // 1 where clipped, else 0
};

}  // namespace ruvovav::analysis
