#include "cli/analysis/auto_boxes.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <optional>

#include "cli/analysis/flat_regions.h"
#include "cli/analysis/noise_estimate.h"
#include "params/effect_rules.h"

namespace ruvovav::analysis {

namespace {

// A flat box and how many flat boxes of its brightness surround it.
struct Placed {
    BoxCandidate box;
    int flatNeighbours = 0;
};

using BandMap = std::map<int, std::vector<Placed>>;

// A box with a flat neighbour of its brightness lies in a flat area rather than on a lone
// quiet patch of texture; with two, it lies inside one rather than along its edge.
constexpr int kInside = 1;
constexpr int kWellInside = 2;

BandMap byBand(const std::vector<BoxCandidate>& flat, int step) {
    const std::vector<int> counts = flatNeighbourCounts(flat, step);
    BandMap bands;
    for (std::size_t i = 0; i < flat.size(); ++i) {
        bands[Plugin::rules::brightnessBandOf(flat[i].meanLuma)].push_back({flat[i], counts[i]});
    }
    return bands;
}

bool inside(const Placed& p) {
    return p.flatNeighbours >= kInside;
}

bool anyInside(const std::vector<Placed>& boxes) {
    return std::any_of(boxes.begin(), boxes.end(), inside);
}

// The band's noise: the median over the boxes inside flat areas (all when none is), which
// resists the odd box whose estimate an edge or a trace of detail has lifted.
float bandNoise(const std::vector<Placed>& boxes) {
    const bool some = anyInside(boxes);
    std::vector<float> sigmas;
    for (const Placed& p : boxes) {
        if (!some || inside(p)) sigmas.push_back(p.box.noiseSigma);
    }
    const auto middle = sigmas.begin() + static_cast<std::ptrdiff_t>(sigmas.size() / 2);
    std::nth_element(sigmas.begin(), middle, sigmas.end());
    return *middle;
}

// Mid-tones first: grain and sensor noise of gamma-encoded footage peak there, most of a
// picture lies there, and the effect scales the first analysis's thresholds per band by a
// single factor, so they are best measured where the noise is strongest and least shaped
// by the transfer curve's toe and shoulder. Among those, the noisiest band. A band outside
// them wins only when its noise is clearly stronger (low light, where read noise lifts the
// shadows): the effect's per-band factor scales one set of thresholds, and scaling down the
// strongest noise's thresholds serves the other bands better than scaling weaker ones up.
// Bands with a box inside a flat area come before bands without.
constexpr float kClearlyNoisier = 1.3f;

int primaryBand(const BandMap& bands) {
    const bool someInside =
        std::any_of(bands.begin(), bands.end(), [](const auto& b) { return anyInside(b.second); });
    int bestMid = -1, bestAny = -1;
    float midSigma = -1.0f, anySigma = -1.0f;
    for (const auto& [band, boxes] : bands) {
        if (someInside && !anyInside(boxes)) continue;
        const float sigma = bandNoise(boxes);
        if (isMidToneBand(band) && sigma > midSigma) {
            bestMid = band;
            midSigma = sigma;
        }
        if (sigma > anySigma) {
            bestAny = band;
            anySigma = sigma;
        }
    }
    if (bestMid < 0 || anySigma > kClearlyNoisier * midSigma) return bestAny;
    return bestMid;
}

// The box deepest inside its flat area; among equals the purest, since within a band the
// noise is the same in every flat box and a box that measures more is touched by picture.
const Placed& deepest(const std::vector<Placed>& boxes) {
    return *std::min_element(boxes.begin(), boxes.end(), [](const Placed& a, const Placed& b) {
        if (a.flatNeighbours != b.flatNeighbours) return a.flatNeighbours > b.flatNeighbours;
        return a.box.detailRatio < b.box.detailRatio;
    });
}

bool hasMidTone(const std::vector<BoxCandidate>& flat) {
    return std::any_of(flat.begin(), flat.end(),
                       [](const BoxCandidate& c) { return isMidTone(c.meanLuma); });
}

// A brightness box sets its whole band's strength, so it must lie well inside a flat area
// and sit on the noise level itself, within the spread of boxes of one flat area, not
// merely under the flat limit.
constexpr float kBrightnessLoudness = 1.25f;

// The primary from the chosen band; a brightness box for every other band that has a box
// well inside a flat area. Other bands are left to the effect's interpolation between its
// neighbours: a brightness box on picture would set its whole band's strength from the
// picture.
AutoBoxes fromFlat(BoxSurvey survey, const std::vector<BoxCandidate>& flat) {
    AutoBoxes result;
    const BandMap bands = byBand(flat, survey.side / 2);
    const int chosen = primaryBand(bands);
    result.primary = deepest(bands.at(chosen)).box;
    for (const auto& [band, boxes] : bands) {
        if (band == chosen) continue;
        const Placed& best = deepest(boxes);
        if (best.flatNeighbours >= kWellInside && best.box.loudness <= kBrightnessLoudness) {
            result.brightness.push_back(best.box);
        }
    }
    result.choice = BoxChoice::Flat;
    result.found = true;
    result.survey = std::move(survey);
    return result;
}

// Heavy compression leaves the finest detail of flat areas clean (its noise below a quarter
// of a code step) while blotches of noise remain at coarser scales: no shape of noise fits,
// yet the quietest area is the one to measure.
bool compressedFlat(const BoxCandidate& c) {
    return c.noiseSigma < kNoiseFloor;
}

double totalEnergy(const BoxCandidate& c) {
    double sum = 0.0;
    for (const double e : c.scaleEnergy) sum += e;
    return sum;
}

// No flat box at any side: the flattest of the smallest boxes, which fit the most places.
AutoBoxes withoutFlat(BoxSurvey survey) {
    AutoBoxes result;
    const std::vector<BoxCandidate>& measured = survey.measured;
    if (measured.empty()) {
        result.reason =
            survey.clipped >= survey.blank ? NoAreaReason::Clipped : NoAreaReason::Blank;
        result.survey = std::move(survey);
        return result;
    }
    const BoxCandidate& flattest = *std::min_element(
        measured.begin(), measured.end(),
        [](const auto& a, const auto& b) { return a.detailRatio < b.detailRatio; });
    const BoxCandidate& quietest = *std::min_element(
        measured.begin(), measured.end(),
        [](const auto& a, const auto& b) { return totalEnergy(a) < totalEnergy(b); });
    result.flattest = flattest;
    if (flattest.detailRatio < kUsableDetailRatio) {
        result.primary = flattest;
    } else if (compressedFlat(quietest)) {
        result.primary = quietest;
    } else {
        result.reason = NoAreaReason::Textured;
        result.survey = std::move(survey);
        return result;
    }
    result.choice = BoxChoice::NearlyFlat;
    result.found = true;
    result.survey = std::move(survey);
    return result;
}

}  // namespace

AutoBoxes chooseBoxes(const LumaImage& luma) {
    const std::vector<int> sides = boxSides(luma.width, luma.height);
    if (!luma.valid() || sides.empty()) return {};
    std::optional<std::pair<BoxSurvey, std::vector<BoxCandidate>>> fallback;
    BoxSurvey smallest;
    for (const int side : sides) {
        BoxSurvey survey = surveyBoxes(luma, side);
        std::vector<BoxCandidate> flat = rankFlat(survey);
        if (hasMidTone(flat)) return fromFlat(std::move(survey), flat);
        if (!flat.empty() && !fallback) fallback.emplace(survey, std::move(flat));
        smallest = std::move(survey);
    }
    if (fallback) return fromFlat(std::move(fallback->first), fallback->second);
    return withoutFlat(std::move(smallest));
}

}  // namespace ruvovav::analysis
