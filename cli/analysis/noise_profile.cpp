#include "cli/analysis/noise_profile.h"

#include <algorithm>
#include <cmath>
#include <cstddef>

namespace ruvovav::analysis {

namespace {

// Two boxes of the same noise differ by up to this factor at a scale: each scale's energy
// has a sampling deviation of about 12 % in the smallest boxes, so their ratio has about
// 17 %, and 1.4 is two of those deviations.
const double kClusterSpread = std::log(1.4);

using LogShape = std::vector<double>;

double distance(const LogShape& a, const LogShape& b) {
    double d = 0.0;
    for (std::size_t j = 0; j < a.size(); ++j) d = std::max(d, std::fabs(a[j] - b[j]));
    return d;
}

double median(std::vector<double> values) {
    const auto middle = values.begin() + static_cast<std::ptrdiff_t>(values.size() / 2);
    std::nth_element(values.begin(), middle, values.end());
    return *middle;
}

struct LogBox {
    LogShape shape;
    double energy = 0.0;  // sum over scales of the log of the energy
};

std::vector<LogBox> logBoxes(const std::vector<BoxEnergies>& boxes, std::size_t scales) {
    std::vector<LogBox> logs;
    for (const BoxEnergies& b : boxes) {
        const bool usable =
            b.fine > 0.0 && b.shape.size() == scales &&
            std::all_of(b.shape.begin(), b.shape.end(), [](double e) { return e > 0.0; });
        if (!usable) continue;
        LogBox l;
        for (const double e : b.shape) {
            l.shape.push_back(std::log(e));
            l.energy += std::log(e * b.fine);
        }
        logs.push_back(std::move(l));
    }
    return logs;
}

std::vector<int> neighbourCounts(const std::vector<LogBox>& logs) {
    std::vector<int> counts(logs.size(), 0);
    for (std::size_t i = 0; i < logs.size(); ++i) {
        for (std::size_t k = i; k < logs.size(); ++k) {
            if (distance(logs[i].shape, logs[k].shape) < kClusterSpread) {
                ++counts[i];
                if (k != i) ++counts[k];
            }
        }
    }
    return counts;
}

}  // namespace

NoiseProfile whiteNoiseProfile(int scales) {
    return {ScaleShape(static_cast<std::size_t>(std::max(scales, 0)), 1.0), false};
}

double detailRatio(const ScaleShape& box, const NoiseProfile& profile) {
    const std::size_t scales = std::min(box.size(), profile.shape.size());
    if (scales == 0) return 0.0;
    double lowest = HUGE_VAL, highest = 0.0;
    for (std::size_t j = 0; j < scales; ++j) {
        const double r = box[j] / profile.shape[j];
        lowest = std::min(lowest, r);
        highest = std::max(highest, r);
    }
    return lowest > 0.0 ? highest / lowest - 1.0 : HUGE_VAL;
}

NoiseProfile measureNoiseProfile(const std::vector<BoxEnergies>& boxes, int minimumBoxes) {
    std::size_t scales = 0;
    for (const BoxEnergies& b : boxes) scales = std::max(scales, b.shape.size());
    const std::vector<LogBox> logs = logBoxes(boxes, scales);
    if (logs.empty()) return {};
    const std::vector<int> counts = neighbourCounts(logs);
    std::size_t centre = logs.size();
    double lowest = HUGE_VAL;
    for (std::size_t i = 0; i < logs.size(); ++i) {
        if (counts[i] >= minimumBoxes && logs[i].energy < lowest) {
            lowest = logs[i].energy;
            centre = i;
        }
    }
    if (centre == logs.size()) return {};
    NoiseProfile profile{{}, true};
    for (std::size_t j = 0; j < scales; ++j) {
        std::vector<double> members;
        for (const LogBox& l : logs) {
            if (distance(l.shape, logs[centre].shape) < kClusterSpread)
                members.push_back(l.shape[j]);
        }
        profile.shape.push_back(std::exp(median(std::move(members))));
    }
    return profile;
}

bool showsCorrelation(const NoiseProfile& profile) {
    // Ten boxes' worth of sampling error in the ratio stays well inside this.
    constexpr double kWhiteRatio = 1.35;
    if (profile.shape.empty()) return false;
    const double r = profile.shape.front();
    return r > kWhiteRatio || r < 1.0 / kWhiteRatio;
}

bool plausibleNoise(const NoiseProfile& profile) {
    const std::vector<double>& s = profile.shape;
    for (std::size_t j = 2; j + 1 < s.size(); ++j) {
        if (s[j + 1] > 2.0 * s[j]) return false;
    }
    return true;
}

}  // namespace ruvovav::analysis
