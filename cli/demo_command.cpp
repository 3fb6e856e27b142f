// `ruvovav demo`: the tool's whole job on a clip it makes itself, with the numbers to show
// what it did: PSNR of the noisy and of the denoised clip against the clean one.
#include <filesystem>
#include <iostream>

#include "cli/commands.h"
#include "cli/demo_clip.h"
#include "cli/media/media_reader.h"
#include "cli/media/media_writer.h"
#include "cli/split_view.h"
#include "params/parameter_ids.h"

namespace ruvovav::cli {
namespace {

namespace fs = std::filesystem;

void writeClip(const DemoClip& clip, const fs::path& path, bool noisy) {
    media::VideoInfo info;
    info.width = clip.width;
    info.height = clip.height;
    info.frameCount = clip.frames;
    info.rateNum = 24;
    auto writer = media::MediaWriter::create(path, info, {.overwrite = true});
    for (int i = 0; i < clip.frames; ++i) {
        writer->write(noisy ? demoNoisyFrame(clip, i) : demoCleanFrame(clip, i));
    }
    writer->finish();
}

}  // namespace

int runDemo(const DemoOptions& o) {
    const DemoClip clip;
    const fs::path dir = o.outputDir;
    fs::create_directories(dir);
    const fs::path clean = dir / "clean.mkv";
    const fs::path noisy = dir / "noisy.mkv";
    const fs::path denoised = dir / "denoised.mkv";
    std::cout << "demo: " << clip.frames << " frames of " << clip.width << "x" << clip.height
              << ", panning, film-like grain -> " << noisy.string() << "\n";
    writeClip(clip, clean, false);
    writeClip(clip, noisy, true);

    // The job a user would run, measured against the clean clip: it prints the PSNR gain.
    DenoiseOptions job;
    job.common = o.common;
    job.input = noisy.string();
    job.output = denoised.string();
    job.overwrite = true;
    job.reference = clean.string();
    // 4 frames, motion tracked: the default for a clip.
    job.settings.add(Plugin::ids::kNumberOfFrames, Plugin::rules::choiceOfFrames(4));
    if (const int result = runDenoise(job); result != 0) return result;

    const int shown = clip.frames / 2;
    media::Picture out;
    if (!media::MediaReader::open(denoised)->read(shown, out)) {
        throw media::MediaError("the denoised clip is short");
    }
    const fs::path picture = dir / "before_after.png";
    media::writeStill(picture, splitBeforeAfter(demoNoisyFrame(clip, shown), out), true);
    std::cout << "wrote " << denoised.string() << " and " << picture.string() << "\n";
    return 0;
}

}  // namespace ruvovav::cli
