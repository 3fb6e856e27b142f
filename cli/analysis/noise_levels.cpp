#include "cli/analysis/noise_levels.h"

#include <algorithm>
#include <cmath>
#include <cstddef>

namespace ruvovav::analysis {

namespace {

// Noise energy changes by at most e times per sixth of the brightness range: grain that
// peaks in the mid-tones, and read noise that the transfer curve lifts in the shadows, both
// stay within it away from the very ends of the range.
constexpr double kLevelSlope = 6.0;
// The least energy of many boxes of one noise lies well below their typical energy (a fifth
// below for a hundred small boxes), so the level is the median of the boxes that come
// within this factor of the least: the boxes of flat areas, and not the picture above them.
constexpr double kEnvelopeBand = 1.6;

double median(std::vector<double> values) {
    const auto middle = values.begin() + static_cast<std::ptrdiff_t>(values.size() / 2);
    std::nth_element(values.begin(), middle, values.end());
    return *middle;
}

}  // namespace

NoiseLevels::NoiseLevels(const std::vector<BoxCandidate>& boxes) {
    for (const BoxCandidate& b : boxes) samples_.push_back({b.meanLuma, b.scaleEnergy});
}

double NoiseLevels::at(std::size_t scale, float luma) const {
    std::vector<double> reached;
    for (const Sample& s : samples_) {
        if (scale >= s.energy.size()) continue;
        const double reach = std::exp(kLevelSlope * std::fabs(double(s.luma) - double(luma)));
        reached.push_back(s.energy[scale] * reach);
    }
    if (reached.empty()) return 0.0;
    const double least = *std::min_element(reached.begin(), reached.end());
    std::erase_if(reached, [least](double e) { return e > kEnvelopeBand * least; });
    return median(std::move(reached));
}

double NoiseLevels::loudness(const BoxCandidate& box) const {
    double loudest = 1.0;
    for (std::size_t j = 0; j < box.scaleEnergy.size(); ++j) {
        const double level = at(j, box.meanLuma);
        if (level > 0.0) loudest = std::max(loudest, box.scaleEnergy[j] / level);
    }
    return loudest;
}

}  // namespace ruvovav::analysis
