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
    // Standard deviation of the box's white noise, estimated from its finest detail.
    float noiseSigma = 0.0f;
    // Largest, over the measured scales s = 1, 2, 4, ... (each s×s block means), of
    // (mean squared noise-normalised Laplacian at that scale) / noiseSigma² − 1: the picture
    // energy at the worst scale in units of the noise energy. Pure white noise gives 0 up to
    // sampling error (it may be slightly negative); edges and texture give large values.
    float detailRatio = 0.0f;
    // noiseSigma × (1 − detailRatio / (2 × flat limit)), detailRatio clamped at 0: noisiest
    // and purest first. Ranking and the choice within a band use it.
    float score = 0.0f;
};

}  // namespace ruvovav::analysis
