#include "cli/analysis/box_candidates.h"

#include <algorithm>

#include "cli/analysis/noise_estimate.h"
#include "cli/analysis/tone_statistics.h"

namespace ruvovav::analysis {

namespace {

// Scales 1, 2, 4, … while the box still spans 16 blocks (the statistics behind
// kFlatDetailRatio) and divides into whole blocks; at most five, matching the effect's
// five wavelet levels.
int scalesFor(int boxSide) {
    int scales = 1;
    while (scales < 5 && (boxSide >> scales) >= 16 && boxSide % (1 << scales) == 0) ++scales;
    return scales;
}

// Box origins along one axis, on multiples of align so boxes cover whole blocks.
std::vector<int> gridPositions(int extent, int side, int align) {
    const int stride = std::max(align, side / 2 / align * align);
    std::vector<int> positions;
    for (int p = 0; p + side <= extent; p += stride) positions.push_back(p);
    const int last = (extent - side) / align * align;
    if (!positions.empty() && positions.back() < last) positions.push_back(last);
    return positions;
}

float scoreOf(float sigma, float detailRatio) {
    const float purity = std::clamp(detailRatio, 0.0f, kFlatDetailRatio) / kFlatDetailRatio;
    return sigma * (1.0f - 0.5f * purity);
}

bool better(const BoxCandidate& a, const BoxCandidate& b) {
    const bool midA = isMidTone(a.meanLuma), midB = isMidTone(b.meanLuma);
    if (midA != midB) return midA;
    return a.score > b.score;
}

}  // namespace

int brightnessBand(float meanLuma) {
    const float scaled = meanLuma * 10.0f + 0.5f;
    if (!(scaled > 0.0f)) return 0;  // also NaN
    if (scaled >= 11.0f) return 100;
    return std::clamp(10 * static_cast<int>(scaled), 0, 100);
}

bool isMidToneBand(int band) {
    return band >= 30 && band <= 70;
}

bool isMidTone(float meanLuma) {
    return isMidToneBand(brightnessBand(meanLuma));
}

int defaultBoxSide(int width, int height) {
    const int shortSide = std::min(width, height);
    if (shortSide < 1) return 0;
    int side = 64;
    while (side < 256 && side * 2 <= shortSide / 8) side *= 2;
    while (side > shortSide) side /= 2;
    return side;
}

std::vector<BoxCandidate> rankCandidates(const LumaImage& luma, int boxSide) {
    if (!luma.valid() || boxSide < kMinBoxSide || boxSide > std::min(luma.width, luma.height)) {
        return {};
    }
    const int scales = scalesFor(boxSide);
    const int align = 1 << (scales - 1);
    const NoiseMaps noise(luma, scales);
    const ToneMaps tone(luma);
    std::vector<BoxCandidate> candidates;
    for (const int y : gridPositions(luma.height, boxSide, align)) {
        for (const int x : gridPositions(luma.width, boxSide, align)) {
            const PixelBox box{x, y, boxSide, boxSide};
            if (tone.clippedFraction(box) > kMaxClippedFraction) continue;
            const NoiseMeasure m = noise.measure(box);
            if (m.sigma < kNoiseFloor || !(m.detailRatio < kFlatDetailRatio)) continue;
            candidates.push_back(
                {box, tone.meanLuma(box), m.sigma, m.detailRatio, scoreOf(m.sigma, m.detailRatio)});
        }
    }
    std::stable_sort(candidates.begin(), candidates.end(), better);
    return candidates;
}

}  // namespace ruvovav::analysis
