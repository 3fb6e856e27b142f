// The tool's automatic analysis, as every editor adapter runs it on the first frame it can
// measure when no profile was given.
#pragma once

#include <string>

#include "cli/effect_session.h"
#include "host/clip_frames.h"

namespace ruvovav::editor {

// Analyses `frame`, the clip's frame `index`, in `session`, and sets `analysed` when the
// thresholds came from it. Returns the analysis's warning, or why it refused the frame
// (then `analysed` is left as it was and the frame is rendered with the thresholds in place).
std::string analyseFrame(cli::EffectSession& session, const kestrel::Frame& frame, int index,
                         bool& analysed);

}  // namespace ruvovav::editor
