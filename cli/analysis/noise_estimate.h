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
    // Deviation of white noise that would give the box's finest detail, in Y' units. For
    // correlated noise it understates the true deviation; it ranks boxes of one frame by their
    // noise level, since the noise's correlation is the same all over a frame.
    float sigma = 0.0f;
    // Mean square of the normalised Laplacian at scales 1, 2, 4, …, over sigma² (or over the
    // noise floor's square where sigma is below it): white noise gives 1 at every scale,
    // correlated noise more at the coarse ones, picture more still.
    std::vector<double> shape;
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
    std::vector<double> scaleEnergies(const PixelBox& box) const;

    IntegralImage fineAbs_;              // |second-difference response| at scale 1
    std::vector<IntegralImage> energy_;  // squared normalised Laplacian, one per scale
};

}  // namespace ruvovav::analysis
