// `ruvovav demo`: the tool's whole job on a clip it makes itself, with the numbers to show
// what it did: PSNR of the noisy and of the denoised clip against the clean one.
#include <filesystem>
#include <iomanip>
#include <iostream>

#include "cli/commands.h"
#include "cli/demo_clip.h"
#include "cli/media/media_reader.h"
#include "cli/media/media_writer.h"
#include "cli/metrics.h"

namespace ruvovav::cli {
namespace {

namespace fs = std::filesystem;

void writeNoisyClip(const DemoClip& clip, const fs::path& path) {
    media::VideoInfo info;
    info.width = clip.width;
    info.height = clip.height;
    info.frameCount = clip.frames;
    info.rateNum = 24;
    auto writer = media::MediaWriter::create(path, info, {.overwrite = true});
    for (int i = 0; i < clip.frames; ++i) writer->write(demoNoisyFrame(clip, i));
    writer->finish();
}

// Left half before, right half after, split by a white line.
media::Picture beforeAfter(const media::Picture& before, const media::Picture& after) {
    media::Picture split = after;
    const int middle = split.width / 2;
    for (int y = 0; y < split.height; ++y) {
        for (int x = 0; x < middle + 1; ++x) {
            const size_t i = 4 * (size_t(y) * size_t(split.width) + size_t(x));
            for (size_t c = 0; c < 3; ++c) {
                split.rgba[i + c] = x >= middle - 1 ? 1.0f : before.rgba[i + c];
            }
        }
    }
    return split;
}

}  // namespace

int runDemo(const DemoOptions& o) {
    const DemoClip clip;
    const fs::path dir = o.outputDir;
    fs::create_directories(dir);
    const fs::path noisy = dir / "noisy.mkv";
    const fs::path denoised = dir / "denoised.mkv";
    std::cout << "demo: " << clip.frames << " frames of " << clip.width << "x" << clip.height
              << ", panning, film-like grain -> " << noisy.string() << "\n";
    writeNoisyClip(clip, noisy);

    DenoiseOptions job;
    job.common = o.common;
    job.input = noisy.string();
    job.output = denoised.string();
    job.overwrite = true;
    job.settings.add("numberOfFrames", 2);  // 4 frames, motion tracked (the default)
    if (const int result = runDenoise(job); result != 0) return result;

    const auto reader = media::MediaReader::open(denoised);
    double before = 0;
    double after = 0;
    media::Picture out;
    for (int i = 0; i < clip.frames; ++i) {
        const media::Picture clean = demoCleanFrame(clip, i);
        if (!reader->read(i, out)) throw media::MediaError("the denoised clip is short");
        before += psnr(demoNoisyFrame(clip, i), clean);
        after += psnr(out, clean);
    }
    before /= clip.frames;
    after /= clip.frames;
    const int shown = clip.frames / 2;
    reader->read(shown, out);
    const fs::path picture = dir / "before_after.png";
    media::writeStill(picture, beforeAfter(demoNoisyFrame(clip, shown), out), true);
    std::cout << std::fixed << std::setprecision(2) << "PSNR: noisy " << before << " dB, denoised "
              << after << " dB, gain " << std::showpos << after - before << std::noshowpos
              << " dB\n"
              << "wrote " << denoised.string() << " and " << picture.string() << "\n";
    return 0;
}

}  // namespace ruvovav::cli
