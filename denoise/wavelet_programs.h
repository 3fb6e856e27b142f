// Generators of the wavelet fragment programs: one analysis (Dec) and one synthesis (Rec)
// program per wavelet, each a single one-dimensional pass with the taps written in as
// literals and the tap loops unrolled.
//
// Interface of every generated program: input `coordinate` (from the standard vertex
// program), output `fragColour` at location 0, uniforms `source` (texture unit 0),
// `direction` (0 horizontal, otherwise vertical), `bound` (texture-coordinate extent of the
// active region) and `size` (the source texture's allocated size in texels). Fragments
// outside the active region copy the source texel, alpha included; inside, alpha is 1.
#pragma once

#include <string>

#include "denoise/wavelet_filters.h"

namespace Plugin {

// Analysis text for n taps lo[0..n-1], hi[0..n-1]. Output column x of an active region of
// R texels is sum_k f[k] s[(2x + k) mod R], with f = lo while 2x < R and hi otherwise, so
// the low band lands in the first half and the high band in the second.
std::string buildDecompositionProgram(int n, const double* lo, const double* hi);
std::string buildDecompositionProgram(const WaveletFilter& filter);

// Synthesis text, the exact transpose of the analysis with the same taps (n even). With H
// the band size (half the active region, at least 1), output 2i + r is
// sum_j lo[2j + r] low[(i - j) mod H] + hi[2j + r] high[(i - j) mod H].
std::string buildReconstructionProgram(int n, const double* lo, const double* hi);
std::string buildReconstructionProgram(const WaveletFilter& filter);

}  // namespace Plugin
