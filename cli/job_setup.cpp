#include "cli/job_setup.h"

#include <climits>
#include <iostream>

#include "cli/command_line.h"
#include "cli/output_safety.h"
#include "cli/profile.h"
#include "params/parameter_ids.h"

namespace ruvovav::cli {
namespace {

int windowFrames(kestrel::ParameterStore& store) {
    return store.choiceValue(Plugin::ids::kNumberOfFrames, 0);
}

nlohmann::ordered_json boxesJson(const std::vector<PressedBox>& boxes) {
    nlohmann::ordered_json list = nlohmann::ordered_json::array();
    for (const PressedBox& b : boxes) {
        list.push_back({{"button", b.button},
                        {"box", {b.box.x, b.box.y, b.box.width, b.box.height}},
                        {"meanLuma", b.meanLuma}});
    }
    return list;
}

}  // namespace

std::unique_ptr<media::MediaReader> openInput(const std::string& input) {
    std::unique_ptr<media::MediaReader> reader = media::MediaReader::open(input);
    const media::VideoInfo& info = reader->info();
    if (info.width <= 0 || info.height <= 0) {
        throw media::MediaError("'" + input + "' has frames of no size");
    }
    if (info.width > media::kMaxFrameSide || info.height > media::kMaxFrameSide) {
        throw media::MediaError("'" + input + "' has " + std::to_string(info.width) + "x" +
                                std::to_string(info.height) + " frames, larger than " +
                                std::to_string(media::kMaxFrameSide) + " on a side");
    }
    if (info.frameCount <= 0 || info.frameCount > INT_MAX) {
        throw media::MediaError("'" + input + "' holds no frames");
    }
    return reader;
}

void checkAnalysisOptions(const AnalysisOptions& analysis, const media::VideoInfo& info) {
    if (!analysis.box.empty()) {
        const PixelRect box = parseBox("--box", analysis.box);
        if (box.x < 0 || box.y < 0 || int64_t(box.x) + box.width > info.width ||
            int64_t(box.y) + box.height > info.height)
            throw UsageError("--box " + boxText(box) + " does not lie inside the " +
                             std::to_string(info.width) + "x" + std::to_string(info.height) +
                             " frame");
    }
    if (analysis.analyzeFrame < 0 || analysis.analyzeFrame >= info.frameCount) {
        throw UsageError("--analyze-frame: " + std::to_string(analysis.analyzeFrame) +
                         " is outside the clip's " + std::to_string(info.frameCount) + " frames");
    }
}

ClipJob startClipJob(const CommonOptions& common, const std::string& input,
                     const AnalysisOptions& analysis, const EffectSettings& settings) {
    return startClipJob(common, openInput(input), analysis, settings);
}

ClipJob startClipJob(const CommonOptions& common, std::unique_ptr<media::MediaReader> reader,
                     const AnalysisOptions& analysis, const EffectSettings& settings) {
    ClipJob job;
    job.reader = std::move(reader);
    const media::VideoInfo& info = job.reader->info();
    checkAnalysisOptions(analysis, info);  // before the module loads and GL starts
    job.frameCount = int(info.frameCount);
    job.session =
        std::make_unique<EffectSession>(common.modulePath, kestrel::parseGlBackend(common.gl));
    kestrel::ParameterStore& store = job.session->parameters();
    if (job.frameCount > 1) applySettings(store, clipDefaults());
    if (!analysis.profileIn.empty()) applySettings(store, loadProfile(analysis.profileIn, store));
    applySettings(store, settings.settings());
    job.cache = std::make_shared<FrameCache>(job.reader, job.frameCount, windowFrames(store));
    job.session->setClip(info.width, info.height, job.frameCount,
                         [cache = job.cache](int i) { return cache->frame(i); });
    return job;
}

AnalysisRun analyseClip(ClipJob& job, const AnalysisOptions& analysis, std::ostream& out) {
    if (!analysis.profileIn.empty() && analysis.box.empty()) return {};
    AnalysisRequest request;
    if (!analysis.box.empty()) request.box = parseBox("--box", analysis.box);
    if (analysis.analyzeFrame < 0 || analysis.analyzeFrame >= job.frameCount) {
        throw UsageError("--analyze-frame: " + std::to_string(analysis.analyzeFrame) +
                         " is outside the clip's " + std::to_string(job.frameCount) + " frames");
    }
    request.frame = int(analysis.analyzeFrame);
    const kestrel::Frame* frame = job.cache->frame(request.frame);
    if (frame == nullptr) throw media::MediaError(job.cache->error().value_or("unreadable frame"));
    AnalysisRun run = runAnalysis(*job.session, *frame, request);
    if (!run.warning.empty()) std::cerr << "ruvovav: warning: " << run.warning << "\n";
    for (const PressedBox& b : run.pressed) {
        out << (b.button == "analyzeButton" ? "analysis box:   " : "brightness box: ")
            << boxText(b.box) << " (mean luma " << b.meanLuma << ")\n";
    }
    return run;
}

void saveProfileIfAsked(ClipJob& job, const AnalysisOptions& analysis, const std::string& input,
                        const std::vector<PressedBox>& boxes, bool overwrite) {
    if (analysis.profileOut.empty()) return;
    refuseOverlap({input}, analysis.profileOut, "--profile-out");
    nlohmann::ordered_json metadata = {{"tool", kVersion},
                                       {"source", input},
                                       {"analyzedFrame", analysis.analyzeFrame},
                                       {"boxes", boxesJson(boxes)}};
    saveProfile(analysis.profileOut, makeProfile(job.session->parameters(), metadata), overwrite);
}

}  // namespace ruvovav::cli
