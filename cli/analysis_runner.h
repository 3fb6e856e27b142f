// The effect's noise analysis run the way a user runs it in the editor: place the analysis
// box, press "Analyze"; then, for the automatic analysis, move the box to flat areas of
// other brightness and press "Analyze Brightness" for each.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "cli/analysis/box_candidates.h"
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

struct AnalysisRun {
    std::vector<PressedBox> pressed;
    // One line when the automatic analysis found no clearly flat area and measured the
    // flattest usable one instead; empty otherwise.
    std::string warning;
    // The automatic analysis's candidates at the side it chose; empty for a given box.
    analysis::BoxSurvey survey;
};

// Throws UsageError when the given box does not lie inside the frame, SessionError when the
// frame has no usable area for the automatic analysis (too small, clipped, blank or all
// texture), saying why and naming the flattest box there is.
AnalysisRun runAnalysis(EffectSession& session, const kestrel::Frame& frame,
                        const AnalysisRequest& request);

// The frame's luma as the effect computes it, top row first, for choosing boxes.
analysis::LumaImage lumaOf(const kestrel::Frame& frame);

// "--box 10,20,64,64" style text of a box.
std::string boxText(const PixelRect& box);

}  // namespace ruvovav::cli
