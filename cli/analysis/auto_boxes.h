// The analysis boxes the tool picks by itself: one for "Analyze", then one per further
// brightness band for "Analyze Brightness".
#pragma once

#include <vector>

#include "cli/analysis/analysis_types.h"
#include "cli/analysis/box_candidates.h"

namespace ruvovav::analysis {

enum class BoxChoice {
    Flat,        // flat boxes were found
    NearlyFlat,  // none is clearly flat: `primary` is the flattest usable box; warn about it
    None,        // no usable area; `reason` says why
};

enum class NoAreaReason { TooSmall, Clipped, Blank, Textured };

struct AutoBoxes {
    BoxChoice choice = BoxChoice::None;
    bool found = false;                    // choice != None
    BoxCandidate primary;                  // for "Analyze": noise only, preferring mid-tones
    std::vector<BoxCandidate> brightness;  // for "Analyze Brightness": one per other band,
                                           // ascending band
    NoAreaReason reason = NoAreaReason::TooSmall;  // with None
    // With None for texture: the flattest box there is, to name in the message.
    BoxCandidate flattest;
    // Every box measured at the side chosen (with None: the smallest side tried), for a
    // picture to choose from.
    BoxSurvey survey;
};

// All boxes share one side: the effect keeps the largest local magnitude of a box, which
// grows with the box's size, so a brightness box of another size would bias its band's
// multiplier. The side is the largest of boxSides() at which a mid-tone box is flat, else the
// largest with any flat box: a larger box measures more of the effect's frequency layers
// and gives steadier maxima.
AutoBoxes chooseBoxes(const LumaImage& luma);

}  // namespace ruvovav::analysis
