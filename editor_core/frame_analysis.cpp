#include "editor_core/frame_analysis.h"

#include "cli/analysis_runner.h"

namespace ruvovav::editor {

std::string analyseFrame(cli::EffectSession& session, const kestrel::Frame& frame, int index,
                         bool& analysed) {
    try {
        const cli::AnalysisRun run = cli::runAnalysis(session, frame, {.frame = index});
        analysed = true;
        return run.warning;
    } catch (const cli::SessionError& refusal) {
        return refusal.what();
    }
}

}  // namespace ruvovav::editor
