// Candidate analysis boxes of a frame: a grid of equal squares, each measured for noise,
// picture detail and clipping against the frame's own noise profile.
#pragma once

#include <vector>

#include "cli/analysis/analysis_types.h"
#include "cli/analysis/noise_profile.h"

namespace ruvovav::analysis {

// Below 32 pixels the effect cannot take all five wavelet levels of a box, and the coarser
// detail scales would rest on too few samples to tell texture from noise.
inline constexpr int kMinBoxSide = 32;

// A box is flat when its detailRatio stays below this, where the noise is white. A scale's energy
// is a mean over at least 16 × 16 blocks, whose sampling deviation for noise is about 0.12 of the
// mean (more where the noise is correlated over several pixels); the ratio of the largest to the
// smallest of three to five such means stays below 1.5 for noise alone except in about one
// box in a thousand, while picture of half the noise energy at any one scale is refused: it
// would already raise the box's measured magnitudes at that scale by over 20 %.
inline constexpr float kFlatDetailRatio = 0.5f;

// Where the frame's noise is correlated, its shape changes somewhat with brightness: the
// codec's quantiser, the read noise and the transfer curve shape dark and bright noise
// differently, by up to about twice at some scale. The flat limit there allows for that;
// what it lets through, the chooser's comparison with the quietest boxes of like brightness
// catches.
inline constexpr float kFlatDetailRatioCorrelated = 0.5f;

// A flat box holds no more energy at any scale than 1.5 times the frame's noise level at its
// brightness: two boxes of one flat area differ by up to about 1.35 times at the coarsest
// scale of a small box, while faint texture shaped like the noise stands higher.
inline constexpr float kMaxLoudness = 1.5f;

// Beyond this, picture outweighs the noise several times at some scale: the box would set
// thresholds that erase that picture, so no box is better than such a box.
inline constexpr float kUsableDetailRatio = 4.0f;

// More than 2 % of clipped pixels: the noise there is visibly truncated.
inline constexpr float kMaxClippedFraction = 0.02f;

// Bands 30 … 70 (mean Y' 0.25 … 0.75).
bool isMidToneBand(int band);
bool isMidTone(float meanLuma);

// A power of two: the effect splits a box of side s into as many frequency layers as any
// side up to the next power of two gives, so a power of two is the largest box, hence the
// steadiest maxima, for its layer count, and needs no padding. The largest is 256 (five
// wavelet levels on six layers; the effect's analysis stays interactive) or half the frame's
// short side, so that boxes can still move around the picture; the smallest is 64 (four
// layers, 4096 pixels of statistics), or less only when the frame itself is that small.
// Largest first; empty for a frame under kMinBoxSide pixels on a side.
std::vector<int> boxSides(int width, int height);

// Every box of one side on a grid of half-box steps, with a final row and column along the
// frame's right and bottom edges.
struct BoxSurvey {
    int side = 0;
    NoiseProfile profile;
    // kFlatDetailRatio, or kFlatDetailRatioCorrelated for a measured profile.
    float flatLimit = kFlatDetailRatio;
    // The boxes with measurable noise and no clipping, each rated against `profile`, in grid
    // order (rows from the top).
    std::vector<BoxCandidate> measured;
    int clipped = 0;  // boxes left out for clipping
    int blank = 0;    // boxes left out for holding no measurable noise
};

// Empty (no boxes at all) when boxSide is below kMinBoxSide, does not fit the frame, or the
// image is malformed.
BoxSurvey surveyBoxes(const LumaImage& luma, int boxSide);

// Shaped like the noise and no louder than it.
bool isFlat(const BoxCandidate& c, const BoxSurvey& survey);

// The flat boxes of a survey, best first: mid-tone boxes before the others, each group by
// descending score.
std::vector<BoxCandidate> rankFlat(const BoxSurvey& survey);

// rankFlat(surveyBoxes(luma, boxSide)).
std::vector<BoxCandidate> rankCandidates(const LumaImage& luma, int boxSide);

}  // namespace ruvovav::analysis
