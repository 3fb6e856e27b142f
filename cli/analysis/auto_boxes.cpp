#include "cli/analysis/auto_boxes.h"

#include <algorithm>
#include <map>

#include "cli/analysis/box_candidates.h"

namespace ruvovav::analysis {

namespace {

using BandMap = std::map<int, std::vector<BoxCandidate>>;

std::vector<BoxCandidate> candidatesAtLargestSide(const LumaImage& luma) {
    const int first = defaultBoxSide(luma.width, luma.height);
    for (int side = first; side >= kMinBoxSide && (side == first || side >= 64); side /= 2) {
        std::vector<BoxCandidate> candidates = rankCandidates(luma, side);
        if (!candidates.empty()) return candidates;
    }
    return {};
}

BandMap byBand(const std::vector<BoxCandidate>& candidates) {
    BandMap bands;
    for (const BoxCandidate& c : candidates) bands[brightnessBand(c.meanLuma)].push_back(c);
    return bands;
}

// The band's typical noise: the median resists the odd box whose estimate a trace of detail
// has lifted.
float medianSigma(const std::vector<BoxCandidate>& boxes) {
    std::vector<float> sigmas;
    for (const BoxCandidate& c : boxes) sigmas.push_back(c.noiseSigma);
    const auto middle = sigmas.begin() + static_cast<std::ptrdiff_t>(sigmas.size() / 2);
    std::nth_element(sigmas.begin(), middle, sigmas.end());
    return *middle;
}

// Mid-tones first: grain and sensor noise of gamma-encoded footage peak there, most of a
// picture lies there, and the effect scales the first analysis's thresholds per band by a
// single factor, so they are best measured where the noise is strongest and least shaped
// by the transfer curve's toe and shoulder. Among those, the noisiest band; outside them
// only when no mid-tone band has a flat box.
int primaryBand(const BandMap& bands) {
    int best = -1;
    float bestSigma = -1.0f;
    for (const bool midOnly : {true, false}) {
        for (const auto& [band, boxes] : bands) {
            if (midOnly && !isMidToneBand(band)) continue;
            const float sigma = medianSigma(boxes);
            if (sigma > bestSigma) {
                best = band;
                bestSigma = sigma;
            }
        }
        if (best >= 0) break;
    }
    return best;
}

const BoxCandidate& bestScore(const std::vector<BoxCandidate>& boxes) {
    return *std::max_element(boxes.begin(), boxes.end(),
                             [](const auto& a, const auto& b) { return a.score < b.score; });
}

}  // namespace

AutoBoxes chooseBoxes(const LumaImage& luma) {
    AutoBoxes result;
    const BandMap bands = byBand(candidatesAtLargestSide(luma));
    if (bands.empty()) return result;
    const int chosen = primaryBand(bands);
    result.primary = bestScore(bands.at(chosen));
    for (const auto& [band, boxes] : bands) {
        if (band != chosen) result.brightness.push_back(bestScore(boxes));
    }
    result.found = true;
    return result;
}

}  // namespace ruvovav::analysis
