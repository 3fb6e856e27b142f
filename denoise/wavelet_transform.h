// The multi-level two-dimensional wavelet transform of an image held in a texture.
//
// Each level runs one horizontal and one vertical pass of the chosen wavelet over a region
// that halves from level to level, ping-ponging through a PassChain. The result is the
// classic pyramid of sub-bands in one texture: at level l, within the lower-left
// (W >> l) x (H >> l) texels, the right half of the lower rows is LH, the upper half of the
// left columns HL, the upper right HH, and the lower left the next level (after the last
// level, the approximation LL). Synthesis runs the passes in reverse.
#pragma once

#include "denoise/wavelet_filters.h"
#include "gl/host_call.h"
#include "gl/pass_chain.h"
#include "plugin/host_api.h"

namespace Plugin {

inline constexpr int kMaxWaveletLevels = 5;

// Levels for an image this wide: min(ceil(log2(width)), 5); 0 for a width of 1 or less.
int waveletLevelCount(int width);
// `size` rounded up to a multiple of 2^levels.
int paddedWaveletSize(int size, int levels);

enum class WaveletDirection : int { Horizontal = 0, Vertical = 1 };

// Binds the named wavelet program, sets the uniforms every pass shares and rebinds the
// chain for its next pass.
void prepareWaveletPasses(const HostCall& call, PassChain& chain, const char* program);
// What a pass draws: its active region only, or the whole target (the program copies the
// texels outside the region).
enum class PassArea { ActiveRegion, WholeTarget };

// One one-dimensional pass of the bound wavelet program over the active region, whose
// extent is `scale` times the current source's. With ActiveRegion the target's texels
// outside the region keep what they held. Advances the chain.
// GL: scissor test off again at the end; the source on unit 0 is left with nearest filtering.
void drawWaveletPass(const HostCall& call, PassChain& chain, WaveletDirection direction,
                     float scale, PassArea area = PassArea::ActiveRegion);

// Runs 2 x levels analysis passes (per level: horizontal, then vertical) on a constructed
// chain, with `wavelet`.
// GL: leaves the analysis program bound; the chain's target and source as advance() left them.
void decomposeWavelet(const HostCall& call, PassChain& chain, int levels, const Wavelet& wavelet);
// The synthesis passes, coarsest level first, each vertical then horizontal. With
// levels <= 0 nothing is drawn. A vertical pass reads the details beside its region from the
// image the horizontal passes write; when the chain's source is not drawn into again (an
// input apart from both images), the coarsest level draws whole targets to carry them.
// GL: leaves the synthesis program bound.
void reconstructWavelet(const HostCall& call, PassChain& chain, int levels, const Wavelet& wavelet);

// Analyses mip level `level` of the input into `output` (whose size the caller chose),
// mirror-padding first when the output is larger than that level, or whenever the level is
// above 0 (so the first pass always reads the level asked for, never level 0). Without
// padding the passes start on the scratch, so that the last one lands in the output.
// GL: ends with the output attached and the input bound on unit 0.
void forwardTransform(const HostCall& call, HostImage& input, HostImage& output, int level,
                      const Wavelet& wavelet);

// Analyses mip level `level` of the input into a new half-float image of the level's size
// padded to a multiple of 2^L; the caller releases the returned image.
// GL: as forwardTransform.
HostImage analysisForwardTransform(const HostCall& call, HostImage& input, int level,
                                   const Wavelet& wavelet);

}  // namespace Plugin
