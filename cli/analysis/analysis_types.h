// Plain data shared by the automatic choice of analysis boxes.
#pragma once

#include <vector>

namespace ruvovav::analysis {

// Y' in 0..1, row-major, first row = top row.
struct LumaImage {
    int width = 0, height = 0;
    std::vector<float> y;

    bool valid() const {
        return width > 0 && height > 0 &&
               y.size() == static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
    }
    float at(int x, int row) const { return y[static_cast<std::size_t>(row) * width + x]; }
};

// Top-left origin, in image pixels.
struct PixelBox {
    int x = 0, y = 0, width = 0, height = 0;
};

struct BoxCandidate {
    PixelBox box;
    // Mean Y' of the box, the value the effect turns into a brightness band.
    float meanLuma = 0.0f;
    // Deviation of white noise with the box's finest detail: the box's noise level, for
    // ranking boxes of one frame.
    float noiseSigma = 0.0f;
    // How far the box's energy at scales 1, 2, 4, … strays from the frame's noise profile:
    // the largest over the smallest ratio of box energy to profile energy, minus 1. Noise
    // alone gives about 0 whatever its strength and correlation; edges and texture give large
    // values.
    float detailRatio = 0.0f;
    // noiseSigma × (1 − detailRatio / (2 × flat limit)), detailRatio clamped at 0: noisiest
    // and purest first. Ranking and the choice within a band use it.
    float score = 0.0f;
    // The box's energy over the frame's noise level at its brightness, at its loudest scale
    // (see NoiseLevels): 1 for the quietest boxes, more where picture adds to the noise.
    float loudness = 1.0f;
    // Mean square of the normalised Laplacian at scales 1, 2, 4, …, in Y' units squared:
    // what the box holds at each scale, noise and picture together.
    std::vector<double> scaleEnergy;
};

}  // namespace ruvovav::analysis
