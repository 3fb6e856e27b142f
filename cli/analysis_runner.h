// The effect's noise analysis run the way a user runs it in the editor: place the analysis
// box, press "Analyze"; then, for the automatic analysis, move the box to flat areas of
// other brightness and press "Analyze Brightness" for each.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "cli/effect_session.h"
#include "cli/value_parsers.h"
#include "host/clip_frames.h"

namespace ruvovav::cli {

struct AnalysisRequest {
    std::optional<PixelRect> box;  // none: choose the boxes automatically
    int frame = 0;
};

struct PressedBox {
    std::string button;  // "analyzeButton" or "AnalyzeBrightnessButton"
    PixelRect box;
    float meanLuma = 0;  // of the box in the analysed frame
};

// Throws UsageError when the given box does not lie inside the frame, SessionError when no
// flat area qualifies for the automatic analysis.
std::vector<PressedBox> runAnalysis(EffectSession& session, const kestrel::Frame& frame,
                                    const AnalysisRequest& request);

// "--box 10,20,64,64" style text of a box.
std::string boxText(const PixelRect& box);

}  // namespace ruvovav::cli
