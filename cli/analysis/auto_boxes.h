// The analysis boxes the tool picks by itself: one for "Analyze", then one per further
// brightness band for "Analyze Brightness".
#pragma once

#include <vector>

#include "cli/analysis/analysis_types.h"

namespace ruvovav::analysis {

struct AutoBoxes {
    BoxCandidate primary;                  // for "Analyze": noise only, preferring mid-tones
    std::vector<BoxCandidate> brightness;  // for "Analyze Brightness": one per other band,
                                           // ascending band
    bool found = false;                    // false: no box qualifies; the caller reports it
};

// All boxes share one side: the effect keeps the largest local magnitude of a box, which
// grows with the box's size, so a brightness box of another size would bias its band's
// multiplier. The side is defaultBoxSide(), halved while no box qualifies, down to 64
// pixels (below that only when the frame itself is that small). Frames under kMinBoxSide
// pixels on a side give found == false.
AutoBoxes chooseBoxes(const LumaImage& luma);

}  // namespace ruvovav::analysis
