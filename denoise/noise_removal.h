// The shrinkage that removes the noise: every detail coefficient of a wavelet-decomposed
// layer is kept, attenuated or removed by comparing a weighted local magnitude of an
// estimate decomposition with thresholds scaled by the local brightness.
#pragma once

#include <array>
#include <vector>

#include "gl/host_call.h"
#include "gl/pass_chain.h"
#include "image/texture_data.h"
#include "params/effect_rules.h"
#include "plugin/host_api.h"

namespace Plugin {

// The thresholds of one layer as the pass applies them.
struct NoiseRemovalSettings {
    std::array<float, rules::kBrightnessBands> brightnessMultipliers{};  // fractions
    // thresholds[band][k - 1]: (Y, U, V) of sub-band HH, LH, HL at level k, already times the
    // channel and layer multipliers.
    std::array<std::vector<plugin_glsl_types::genVec3<float>>, 3> thresholds;
    float halfSoftness = 0.0f;  // h: low = T (1 - h), high = T (1 + h)
};

// Thresholds the chain's current source (a decomposition of `levels` levels, no more than
// `settings` holds) into its current target, level by level from the coarsest, then
// advances the chain. Each level draws only the texels it writes: one draw for the
// coarsest, two for every finer level. The brightness image carries luma in red; the
// estimate has the coefficients' layout. Texels beyond the used rectangle are never written.
// `removal` is the share of the thresholded value per channel (0 keeps the input).
// GL: leaves "noiseRemoval" bound, units 1 and 2 empty, the brightness texture's base level
// 0, the scissor test off, and the chain advanced (its new target attached, its new source
// on unit 0).
void renderNoiseRemoval(const HostCall& call, PassChain& chain, const HostImage& brightness,
                        int brightnessLevel, const HostImage& estimate, int levels,
                        const NoiseRemovalSettings& settings,
                        const plugin_glsl_types::genVec3<float>& removal);

}  // namespace Plugin
