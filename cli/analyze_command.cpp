// `ruvovav analyze`: the analysis alone, saved as a profile for later denoise runs.
#include <filesystem>
#include <iostream>

#include "cli/commands.h"
#include "cli/job_setup.h"

namespace ruvovav::cli {

int runAnalyze(const AnalyzeOptions& o) {
    std::error_code error;
    if (!o.overwrite && std::filesystem::exists(o.analysis.profileOut, error)) {
        throw UsageError("'" + o.analysis.profileOut + "' exists (use -y to overwrite)");
    }
    ClipJob job = startClipJob(o.common, o.input, o.analysis, o.settings);
    const std::vector<PressedBox> boxes = analyseClip(job, o.analysis, std::cout).pressed;
    saveProfileIfAsked(job, o.analysis, o.input, boxes, o.overwrite);
    std::cout << "profile: " << o.analysis.profileOut << "\n";
    return 0;
}

}  // namespace ruvovav::cli
