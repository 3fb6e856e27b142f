// The steps every job on a clip shares: open the input, start the effect on it, load a
// profile and the flags, and run the analysis.
#pragma once

#include <memory>
#include <ostream>
#include <vector>

#include "cli/analysis_runner.h"
#include "cli/commands.h"
#include "cli/effect_session.h"
#include "cli/frame_cache.h"
#include "cli/media/media_reader.h"

namespace ruvovav::cli {

// Opens the input; throws MediaError for what cannot be read and for frames of no or
// absurd size.
std::unique_ptr<media::MediaReader> openInput(const std::string& input);

// The reader is shared with the cache, and the cache with the session's frame source, so
// each lives as long as its last user, whatever order the members go in.
struct ClipJob {
    std::shared_ptr<media::MediaReader> reader;
    std::unique_ptr<EffectSession> session;
    std::shared_ptr<FrameCache> cache;
    int frameCount = 0;
};

// Opens the input and starts the effect on it, with the profile's values and then the
// flags in its parameters. The frame cache follows the window the settings ask for.
ClipJob startClipJob(const CommonOptions& common, const std::string& input,
                     const AnalysisOptions& analysis, const EffectSettings& settings);
// The same on an input already opened by openInput.
ClipJob startClipJob(const CommonOptions& common, std::unique_ptr<media::MediaReader> reader,
                     const AnalysisOptions& analysis, const EffectSettings& settings);

// Throws UsageError for a malformed --box, a box outside the frame or an --analyze-frame
// outside the clip: checked on the input's description, before the effect starts.
void checkAnalysisOptions(const AnalysisOptions& analysis, const media::VideoInfo& info);

// Runs the analysis the options ask for: a given box, the automatic boxes, or none when a
// profile brought thresholds and no box is given. Prints the boxes used to `out`, and a
// warning line to standard error when no area was clearly flat.
AnalysisRun analyseClip(ClipJob& job, const AnalysisOptions& analysis, std::ostream& out);

// Saves the profile with where it came from, when the options ask for one.
void saveProfileIfAsked(ClipJob& job, const AnalysisOptions& analysis, const std::string& input,
                        const std::vector<PressedBox>& boxes, bool overwrite);

}  // namespace ruvovav::cli
