// Candidate analysis boxes of a frame: a grid of equal squares, each measured for noise,
// picture detail and clipping; only the flat, unclipped ones are kept.
#pragma once

#include <vector>

#include "cli/analysis/analysis_types.h"

namespace ruvovav::analysis {

// Below 32 pixels the effect cannot take all five wavelet levels of a box, and the coarser
// detail scales would rest on too few samples to tell texture from noise.
inline constexpr int kMinBoxSide = 32;

// A box is flat when detailRatio stays below this. For white Gaussian noise the ratio at a
// scale is a mean of squared Laplacian responses over at least 16 × 16 blocks; with the
// responses' neighbour correlation (variance × 1.69) its deviation is at most
// √(2 × 1.69 / 256) ≈ 0.115, and the box's own noise estimate adds ≈ 0.05 (64-pixel box)
// to 0.09 (32-pixel box). 0.5 is about four deviations, so pure noise passes except in about
// one box in a thousand, while detail of half the noise energy at any one scale is refused:
// it would already raise the box's measured magnitudes at that scale by over 20 %.
inline constexpr float kFlatDetailRatio = 0.5f;

// More than 2 % of clipped pixels: the noise there is visibly truncated.
inline constexpr float kMaxClippedFraction = 0.02f;

// The effect's rule: 10 × int(meanY × 10 + 0.5), clamped to 0 … 100, in float as the
// effect computes it.
int brightnessBand(float meanLuma);

// Bands 30 … 70 (mean Y' 0.25 … 0.75).
bool isMidToneBand(int band);
bool isMidTone(float meanLuma);

// A power of two: the effect splits a box of side s into as many frequency layers as any
// side up to the next power of two gives, so a power of two is the largest box, hence the
// steadiest maxima, for its layer count, and needs no padding. About an eighth of the
// frame's short side (128 for 1080 lines, 64 for 720, 256 for 2160), which ordinary
// footage still holds flat areas of; at least 64 (four layers, 4096 pixels of statistics),
// at most 256 (five levels of six layers, and the effect's analysis stays interactive);
// halved until it fits the frame. 0 for an empty frame.
int defaultBoxSide(int width, int height);

// Every flat, unclipped square of side boxSide on a grid of half-box steps, with a final
// row and column along the frame's right and bottom edges. Best first: mid-tone boxes
// before the others, each group by descending score. Empty when boxSide is below
// kMinBoxSide, does not fit the frame, or the image is malformed.
std::vector<BoxCandidate> rankCandidates(const LumaImage& luma, int boxSide);

}  // namespace ruvovav::analysis
