// `ruvovav preview`: one frame seen the ways the effect can show it, as PNGs to look at.
#include <filesystem>
#include <iostream>

#include "cli/candidate_overlay.h"
#include "cli/commands.h"
#include "cli/host_frames.h"
#include "cli/job_setup.h"
#include "cli/label_text.h"
#include "cli/media/media_writer.h"
#include "cli/split_view.h"
#include "params/parameter_ids.h"

namespace ruvovav::cli {
namespace {

namespace fs = std::filesystem;

constexpr const char* kPlaneNames[3] = {"Y", "U", "V"};
constexpr int kPreviewLevels[3] = {0, 1, 3};
// Frequency detail is faint beside the picture; the view's contrast lifts it into sight.
constexpr double kViewContrast = 4.0;

class PreviewWriter {
public:
    PreviewWriter(ClipJob& job, const PreviewOptions& o) : job_(job), o_(o) {}

    // Renders the frame with "View" set to `view` (and the level for frequency views).
    media::Picture render(int view, int level = 0) {
        kestrel::ParameterStore& store = job_.session->parameters();
        store.set(Plugin::ids::kViewOption, 0, {double(view), 0}, 0);
        store.set(Plugin::ids::kMipmapLevel, 0, {double(level), 0}, 0);
        const media::VideoInfo& info = job_.reader->info();
        return pictureOf(job_.session->render(int(o_.frame)), info.width, info.height);
    }
    void save(const std::string& name, const media::Picture& picture) {
        const fs::path file = fs::path(o_.outputDir) / (name + ".png");
        media::writeStill(file, picture, o_.overwrite);
        std::cout << "wrote " << file.string() << "\n";
    }

private:
    ClipJob& job_;
    const PreviewOptions& o_;
};

}  // namespace

int runPreview(const PreviewOptions& o) {
    AnalysisOptions analysis = o.analysis;
    analysis.analyzeFrame = o.frame;
    ClipJob job = startClipJob(o.common, o.input, analysis, o.settings);
    const AnalysisRun run = analyseClip(job, analysis, std::cout);
    const std::vector<PressedBox>& boxes = run.pressed;
    // The overlay shows the box "Analyze" measured, not the last brightness box.
    if (!boxes.empty()) job.session->placeBox(boxes.front().box);
    if (!job.cache->setCurrent(int(o.frame))) throw media::MediaError(*job.cache->error());
    fs::create_directories(o.outputDir);
    job.session->parameters().set("frequencyContrast", 0, {kViewContrast, 0}, 0);

    PreviewWriter writer(job, o);
    writer.save("analysis_box", writer.render(Plugin::rules::kViewAnalysisBox));
    for (int plane = 0; plane < 3; ++plane) {
        for (const int level : kPreviewLevels) {
            media::Picture view = writer.render(Plugin::rules::kViewFrequencyY + plane, level);
            const std::string name =
                std::string("frequency_") + kPlaneNames[plane] + "_level" + std::to_string(level);
            drawLabel(view, std::string(kPlaneNames[plane]) + " LEVEL " + std::to_string(level), 8,
                      8, 2);
            writer.save(name, view);
        }
    }
    const media::Picture after = writer.render(Plugin::rules::kViewResult);
    const kestrel::Frame* input = job.cache->frame(int(o.frame));
    const media::VideoInfo& info = job.reader->info();
    const media::Picture before = pictureOf(input->rgba, info.width, info.height);
    if (!run.survey.measured.empty()) {
        writer.save("candidates", drawCandidates(before, run.survey, boxes));
    }
    writer.save("before_after", splitBeforeAfter(before, after));
    return 0;
}

}  // namespace ruvovav::cli
