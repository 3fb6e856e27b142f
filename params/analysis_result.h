// Thresholds as the noise analysis measures them and the thresholding pass consumes them.
#pragma once

#include <vector>

#include "image/texture_data.h"

namespace Plugin {

// One frequency layer: entry k - 1 of each sequence is wavelet level k. The vector's
// x, y, z are the Y, U, V thresholds as fractions (the panel shows them in percent).
struct LayerThresholds {
    std::vector<plugin_glsl_types::genVec3<float>> hh, lh, hl;
};

// Indexed by frequency layer; read from the panel it always has ids::kFrequencyLayers.
using ThresholdTable = std::vector<LayerThresholds>;

struct AnalysisResult {
    ThresholdTable layers;
    plugin_glsl_types::genVec3<float> meanColour;  // mean Y, U, V of the analysed region
};

}  // namespace Plugin
