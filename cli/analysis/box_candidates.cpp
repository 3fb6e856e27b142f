#include "cli/analysis/box_candidates.h"

#include <algorithm>

#include "cli/analysis/local_profiles.h"
#include "cli/analysis/noise_estimate.h"
#include "cli/analysis/noise_levels.h"
#include "cli/analysis/tone_statistics.h"
#include "params/effect_rules.h"

namespace ruvovav::analysis {

namespace {

constexpr int kLargestBoxSide = 256;
constexpr int kSmallestUsualBoxSide = 64;

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

float scoreOf(float sigma, float detailRatio, float flatLimit) {
    const float purity = std::clamp(detailRatio, 0.0f, flatLimit) / flatLimit;
    return sigma * (1.0f - 0.5f * purity);
}

bool better(const BoxCandidate& a, const BoxCandidate& b) {
    const bool midA = isMidTone(a.meanLuma), midB = isMidTone(b.meanLuma);
    if (midA != midB) return midA;
    return a.score > b.score;
}

// A cluster of shapes needs this share of a frame's boxes (and at least four) to be taken
// for its noise: a lone patch of even texture must not pass for it.
constexpr int kClusterShare = 50;

NoiseProfile profileOf(const std::vector<BoxEnergies>& shapes, int scales) {
    const int minimum = std::max(4, static_cast<int>(shapes.size()) / kClusterShare);
    NoiseProfile measured = measureNoiseProfile(shapes, minimum);
    if (measured.measured && showsCorrelation(measured) && plausibleNoise(measured)) {
        return measured;
    }
    return whiteNoiseProfile(scales);
}

// No scale holds energy above the noise floor: flat graphics, clean synthetic frames. Heavy
// compression can leave the finest detail that clean while its blotches still hold noise at
// coarser scales.
bool isBlank(const NoiseMeasure& m) {
    if (m.sigma >= kNoiseFloor) return false;
    return std::all_of(m.shape.begin(), m.shape.end(), [](double e) { return e < 1.0; });
}

bool fits(const LumaImage& luma, int boxSide) {
    return luma.valid() && boxSide >= kMinBoxSide && boxSide <= std::min(luma.width, luma.height);
}

}  // namespace

bool isMidToneBand(int band) {
    return band >= 30 && band <= 70;
}

bool isMidTone(float meanLuma) {
    return isMidToneBand(Plugin::rules::brightnessBandOf(meanLuma));
}

std::vector<int> boxSides(int width, int height) {
    const int shortSide = std::min(width, height);
    std::vector<int> sides;
    for (int side = kLargestBoxSide; side >= kSmallestUsualBoxSide; side /= 2) {
        if (side <= shortSide / 2) sides.push_back(side);
    }
    if (sides.empty()) {
        int side = kLargestBoxSide;
        while (side > shortSide) side /= 2;
        if (side >= kMinBoxSide) sides.push_back(side);
    }
    return sides;
}

BoxSurvey surveyBoxes(const LumaImage& luma, int boxSide) {
    BoxSurvey survey;
    if (!fits(luma, boxSide)) return survey;
    survey.side = boxSide;
    const int scales = scalesFor(boxSide);
    const int align = 1 << (scales - 1);
    const NoiseMaps noise(luma, scales);
    const ToneMaps tone(luma);
    std::vector<BoxEnergies> shapes;
    for (const int y : gridPositions(luma.height, boxSide, align)) {
        for (const int x : gridPositions(luma.width, boxSide, align)) {
            const PixelBox box{x, y, boxSide, boxSide};
            if (tone.clippedFraction(box) > kMaxClippedFraction) {
                ++survey.clipped;
                continue;
            }
            NoiseMeasure m = noise.measure(box);
            if (isBlank(m)) {
                ++survey.blank;
                continue;
            }
            const double unit = std::max(m.sigma, kNoiseFloor);
            std::vector<double> energy = m.shape;
            for (double& e : energy) e *= unit * unit;
            survey.measured.push_back(
                {box, tone.meanLuma(box), m.sigma, 0.0f, 0.0f, 1.0f, std::move(energy)});
            shapes.push_back({unit * unit, std::move(m.shape)});
        }
    }
    survey.profile = profileOf(shapes, scales);
    survey.flatLimit = survey.profile.measured ? kFlatDetailRatioCorrelated : kFlatDetailRatio;
    std::vector<float> lumas;
    for (const BoxCandidate& c : survey.measured) lumas.push_back(c.meanLuma);
    const LocalProfiles local(survey.profile, shapes, lumas);
    const NoiseLevels levels(survey.measured);
    for (std::size_t i = 0; i < shapes.size(); ++i) {
        BoxCandidate& c = survey.measured[i];
        c.detailRatio = static_cast<float>(detailRatio(shapes[i].shape, local.at(c.meanLuma)));
        c.loudness = static_cast<float>(levels.loudness(c));
        c.score = scoreOf(c.noiseSigma, c.detailRatio, survey.flatLimit);
    }
    return survey;
}

bool isFlat(const BoxCandidate& c, const BoxSurvey& survey) {
    return c.detailRatio < survey.flatLimit && c.loudness <= kMaxLoudness;
}

std::vector<BoxCandidate> rankFlat(const BoxSurvey& survey) {
    std::vector<BoxCandidate> flat;
    for (const BoxCandidate& c : survey.measured) {
        if (isFlat(c, survey)) flat.push_back(c);
    }
    std::stable_sort(flat.begin(), flat.end(), better);
    return flat;
}

std::vector<BoxCandidate> rankCandidates(const LumaImage& luma, int boxSide) {
    return rankFlat(surveyBoxes(luma, boxSide));
}

}  // namespace ruvovav::analysis
