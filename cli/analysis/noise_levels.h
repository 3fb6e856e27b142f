// The frame's noise level at each brightness and scale. Noise strength follows brightness
// smoothly (shot noise, read noise, grain and the transfer curve change it by a few times
// over the whole range), while picture only ever adds energy. So the lower envelope of all
// boxes' energies, allowed to rise or fall with brightness no faster than noise does, is the
// noise, even at tones where every box holds some picture: a faint texture that matches the
// noise's shape still stands above the level its flat neighbours in brightness set.
#pragma once

#include <vector>

#include "cli/analysis/analysis_types.h"

namespace ruvovav::analysis {

class NoiseLevels {
public:
    // From the boxes' scaleEnergy and meanLuma.
    explicit NoiseLevels(const std::vector<BoxCandidate>& boxes);

    // The noise energy at scale j for brightness `luma`; 0 without boxes.
    double at(std::size_t scale, float luma) const;

    // How far the box stands above the noise level: the largest, over its scales, of its
    // energy over the level at its brightness, and at least 1.
    double loudness(const BoxCandidate& box) const;

private:
    struct Sample {
        float luma;
        std::vector<double> energy;
    };
    std::vector<Sample> samples_;
};

}  // namespace ruvovav::analysis
