#include "cli/analysis/local_profiles.h"

#include <algorithm>
#include <cmath>

namespace ruvovav::analysis {

namespace {

constexpr int kBins = 20;
constexpr float kNeighbourhood = 0.1f;
// A cluster of three boxes of like brightness is already a region a person would pick.
constexpr int kLocalClusterMinimum = 3;
// Texture raises energy; what brightness does to noise mostly lowers it at the coarse scales
// (the shadows' quantiser step swallows coarse noise), so more room below than above.
constexpr double kMaxRise = 2.0;
constexpr double kMaxFall = 3.0;
// How much more the local profile may rise from its finest to its coarsest scale than the
// frame's does. Picture is coarse-heavy beside any noise (natural images fall off as the
// square of frequency), so a cluster of textured boxes tilts its profile up towards the
// coarse scales, by 1.3 times and more; what brightness does to noise (white read noise in
// the shadows, the codec's coarser quantiser) tilts it down or leaves it.
constexpr double kMaxTilt = 1.25;

int binOf(float luma) {
    return std::clamp(static_cast<int>(luma * kBins), 0, kBins - 1);
}

bool sameMaking(const NoiseProfile& local, const NoiseProfile& frame) {
    const std::size_t scales = local.shape.size();
    if (scales == 0 || scales != frame.shape.size()) return false;
    std::vector<double> departure;
    for (std::size_t j = 0; j < scales; ++j) {
        departure.push_back(local.shape[j] / frame.shape[j]);
        if (departure[j] > kMaxRise || departure[j] < 1.0 / kMaxFall) return false;
    }
    return departure.back() <= kMaxTilt * departure.front() && plausibleNoise(local);
}

}  // namespace

LocalProfiles::LocalProfiles(const NoiseProfile& frame, const std::vector<BoxEnergies>& boxes,
                             const std::vector<float>& lumas)
    : frame_(frame), bins_(kBins) {
    if (!frame.measured) return;
    for (int b = 0; b < kBins; ++b) {
        const float centre = (static_cast<float>(b) + 0.5f) / kBins;
        std::vector<BoxEnergies> near;
        for (std::size_t i = 0; i < boxes.size(); ++i) {
            if (std::fabs(lumas[i] - centre) <= kNeighbourhood) near.push_back(boxes[i]);
        }
        NoiseProfile local = measureNoiseProfile(near, kLocalClusterMinimum);
        if (local.measured && sameMaking(local, frame)) bins_[b] = std::move(local);
    }
}

const NoiseProfile& LocalProfiles::at(float luma) const {
    const NoiseProfile& local = bins_[binOf(luma)];
    return local.measured ? local : frame_;
}

}  // namespace ruvovav::analysis
