// The CPU side of the noise analysis: local noise magnitudes of wavelet coefficients read
// back from the GPU, in the same 5 x 5 weighted mean the thresholding pass estimates with.
#pragma once

#include "image/texture_data.h"
#include "params/analysis_result.h"

namespace Plugin {

// The largest E = (1/271) * sum w(i, j) * |c(x + i, y + j)| over the width x height region
// at (x0, y0), per channel (x, y, z from R, G, B), neighbours clamped into the region so
// that none comes from another sub-band. 0 for an empty region; the region is cut to the
// buffer first.
plugin_glsl_types::genVec3<float> largestLocalMagnitude(const TextureDataV4& coefficients, int x0,
                                                        int y0, int width, int height);

// Measures levels 1 .. `levels` of the decomposition that fills `coefficients` whole (level
// k's HH, LH, HL in the upper right, lower right and upper left of the remaining lower-left
// part) and appends them to `layer`'s sequences, then zeros up to the threshold table's
// wavelet levels.
void measureWaveletLevels(const TextureDataV4& coefficients, int levels, LayerThresholds& layer);

}  // namespace Plugin
