// Noise level and picture content of boxes of one frame, measured from per-frame maps so
// that each box costs a few table look-ups.
#pragma once

#include <vector>

#include "cli/analysis/analysis_types.h"
#include "cli/analysis/integral_image.h"

namespace ruvovav::analysis {

// A quarter of an 8-bit code step: below it a box holds no noise worth measuring (flat
// graphics, clean synthetic frames), and detail is judged against this floor instead.
inline constexpr float kNoiseFloor = 0.25f / 255.0f;

struct NoiseMeasure {
    float sigma = 0.0f;        // white-noise standard deviation, in Y' units
    float detailRatio = 0.0f;  // as BoxCandidate::detailRatio
};

class NoiseMaps {
public:
    // Measures scales 1, 2, …, 2^(scales − 1) (fewer when the frame is too small for them).
    NoiseMaps(const LumaImage& luma, int scales);

    int scales() const { return static_cast<int>(energy_.size()); }

    // box must lie in the frame, be at least 3 × 3 pixels, and have its position and size
    // multiples of 2^(scales() − 1) so that it covers whole blocks at every scale.
    NoiseMeasure measure(const PixelBox& box) const;

private:
    double sigmaOf(const PixelBox& box) const;
    double worstDetail(const PixelBox& box, double noiseVariance) const;

    IntegralImage fineAbs_;              // |second-difference response| at scale 1
    std::vector<IntegralImage> energy_;  // squared normalised Laplacian, one per scale
};

}  // namespace ruvovav::analysis
