// `ruvovav demo`: the tool's whole job on a clip it makes itself, with the numbers to show
// what it did: PSNR of the noisy and of the denoised clip against the clean one. The clip's
// noise is made as a camera makes it (a sensor's mosaic, demosaiced, then compressed), or as
// film grain, so the automatic analysis sees what it sees in real footage.
#include <filesystem>
#include <iostream>

#include "cli/commands.h"
#include "cli/media/media_reader.h"
#include "cli/media/media_writer.h"
#include "cli/split_view.h"
#include "footage/camera_clip.h"
#include "params/parameter_ids.h"

namespace ruvovav::cli {
namespace {

namespace fs = std::filesystem;

// Panning, so that the frames the effect combines need motion tracking.
footage::ClipRecipe demoRecipe(const DemoOptions& o) {
    footage::ClipRecipe recipe;
    recipe.width = 640;
    recipe.height = 360;
    recipe.frames = 12;
    recipe.noise = o.noise == "grain" ? footage::NoiseKind::FilmGrain : footage::NoiseKind::Camera;
    recipe.motion = footage::Motion::Pan;
    recipe.crf = o.crf;
    recipe.seed = o.seed;
    return recipe;
}

// Lossless, so that what the tool reads back is exactly the generated clip.
void writeClip(const std::vector<media::Picture>& frames, const fs::path& path) {
    media::VideoInfo info;
    info.width = frames.front().width;
    info.height = frames.front().height;
    info.frameCount = int64_t(frames.size());
    info.rateNum = 24;
    auto writer = media::MediaWriter::create(path, info, {.overwrite = true});
    for (const media::Picture& frame : frames) writer->write(frame);
    writer->finish();
}

std::string describe(const DemoOptions& o) {
    std::string text = o.noise == "grain" ? "film grain" : "camera sensor noise";
    if (o.crf >= 0) text += ", H.264 at CRF " + std::to_string(o.crf);
    return text;
}

}  // namespace

int runDemo(const DemoOptions& o) {
    const footage::ClipRecipe recipe = demoRecipe(o);
    const fs::path dir = o.outputDir;
    fs::create_directories(dir);
    const fs::path clean = dir / "clean.mkv";
    const fs::path noisy = dir / "noisy.mkv";
    const fs::path denoised = dir / "denoised.mkv";
    std::cout << "demo: " << recipe.frames << " frames of " << recipe.width << "x" << recipe.height
              << ", panning, " << describe(o) << " -> " << noisy.string() << "\n";
    const footage::Clip clip = footage::makeClip(recipe);
    writeClip(clip.clean, clean);
    writeClip(clip.noisy, noisy);

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

    const int shown = recipe.frames / 2;
    media::Picture out;
    if (!media::MediaReader::open(denoised)->read(shown, out)) {
        throw media::MediaError("the denoised clip is short");
    }
    const fs::path picture = dir / "before_after.png";
    media::writeStill(picture, splitBeforeAfter(clip.noisy[size_t(shown)], out), true);
    std::cout << "wrote " << denoised.string() << " and " << picture.string() << "\n";
    return 0;
}

}  // namespace ruvovav::cli
