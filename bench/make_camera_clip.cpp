// Writes a synthetic clip's clean and noisy frames to two files, so that scripts outside C++
// (benchmarks, comparisons with other denoisers) see exactly the footage our tests see.
#include <CLI/CLI.hpp>

#include <filesystem>
#include <iostream>
#include <map>
#include <string>

#include "cli/media/media_writer.h"
#include "cli/metrics.h"
#include "footage/camera_clip.h"

namespace {

using namespace ruvovav;

struct Options {
    footage::ClipRecipe recipe;
    std::filesystem::path clean, noisy;
    bool overwrite = false;
};

void addOptions(CLI::App& app, Options& o) {
    footage::ClipRecipe& s = o.recipe;
    app.add_option("--clean", o.clean, "output of the clean frames (.mkv: lossless FFV1)")
        ->required();
    app.add_option("--noisy", o.noisy, "output of the noisy frames")->required();
    app.add_flag("-y", o.overwrite, "overwrite existing outputs");
    app.add_option("--width", s.width, "frame width")->capture_default_str();
    app.add_option("--height", s.height, "frame height")->capture_default_str();
    app.add_option("--frames", s.frames, "number of frames")->capture_default_str();
    const std::map<std::string, footage::NoiseKind> kinds{{"camera", footage::NoiseKind::Camera},
                                                          {"grain", footage::NoiseKind::FilmGrain}};
    app.add_option("--noise", s.noise, "camera (a Bayer sensor's noise) or grain (film)")
        ->transform(CLI::CheckedTransformer(kinds, CLI::ignore_case).description(""))
        ->type_name("camera|grain");
    const std::map<std::string, footage::Motion> motions{{"still", footage::Motion::Still},
                                                         {"pan", footage::Motion::Pan}};
    app.add_option("--motion", s.motion, "still, or pan by (1.7, 0.6) pixels a frame")
        ->transform(CLI::CheckedTransformer(motions, CLI::ignore_case).description(""))
        ->type_name("still|pan");
    app.add_option("--strength", s.strength, "noise strength (1: high ISO)")->capture_default_str();
    app.add_option("--crf", s.crf, "pass the noisy frames through H.264 at this CRF (-1: no)")
        ->capture_default_str();
    app.add_option("--seed", s.seed, "scene and noise seed")->capture_default_str();
}

// 16 bits per channel, so that FFV1 keeps the float frames to within 1/65535.
void writeFrames(const std::filesystem::path& path, const std::vector<media::Picture>& frames,
                 bool overwrite) {
    media::VideoInfo info;
    info.width = frames.front().width;
    info.height = frames.front().height;
    info.frameCount = int64_t(frames.size());
    info.bitDepth = 16;
    auto writer = media::MediaWriter::create(path, info, {.overwrite = overwrite});
    for (const media::Picture& frame : frames) writer->write(frame);
    writer->finish();
}

}  // namespace

int main(int argc, char** argv) {
    CLI::App app{"Makes a synthetic clip with camera or film noise, and its clean frames"};
    Options options;
    addOptions(app, options);
    CLI11_PARSE(app, argc, argv);
    try {
        const footage::Clip clip = footage::makeClip(options.recipe);
        writeFrames(options.clean, clip.clean, options.overwrite);
        writeFrames(options.noisy, clip.noisy, options.overwrite);
        std::cout << "PSNR of the noisy frames: "
                  << cli::psnr(clip.noisy.front(), clip.clean.front()) << " dB (frame 0)\n";
    } catch (const std::exception& e) {
        std::cerr << "make_camera_clip: " << e.what() << '\n';
        return 1;
    }
    return 0;
}
