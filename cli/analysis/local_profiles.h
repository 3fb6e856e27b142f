// The noise profile at each brightness. Correlated noise changes its shape somewhat with
// brightness: read noise whitens the shadows, a codec's quantiser smooths some tones more
// than others. A profile measured over the whole frame then judges the noise of other
// tones as detail, and the analysis misses what are often the noisiest areas.
#pragma once

#include <vector>

#include "cli/analysis/noise_profile.h"

namespace ruvovav::analysis {

class LocalProfiles {
public:
    // boxes and lumas run in parallel. Each brightness takes the profile of the boxes within
    // a tenth of the range around it, when they hold a cluster of their own that departs from
    // the frame's by at most twice above or three times below at any scale and does not
    // tilt towards the coarse scales as picture would: a noise of the same making. Otherwise, and
    // for a white frame profile, the frame's profile.
    LocalProfiles(const NoiseProfile& frame, const std::vector<BoxEnergies>& boxes,
                  const std::vector<float>& lumas);

    const NoiseProfile& at(float luma) const;

private:
    NoiseProfile frame_;
    std::vector<NoiseProfile> bins_;  // per twentieth of the brightness range; may be empty
};

}  // namespace ruvovav::analysis
