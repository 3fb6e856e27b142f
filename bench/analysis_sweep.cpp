// The automatic analysis against the best single box a patient person could find, on
// generated clips made the way cameras, codecs and film make noise. For each clip it prints
// the noisy PSNR, the automatic analysis's, the best single box's (found by pressing
// "Analyze" on every candidate box over a clean-flat area, one at a time) and whether any
// box the analysis pressed lies over texture. Run by hand; see docs/benchmarks.md.
#include <CLI/CLI.hpp>

#include <cstdio>
#include <string>

#include "cli/analysis/box_candidates.h"
#include "cli/analysis_runner.h"
#include "cli/effect_session.h"
#include "cli/frame_cache.h"
#include "cli/host_frames.h"
#include "footage/camera_clip.h"
#include "params/parameter_ids.h"
#include "tests/support/box_oracle.h"

namespace {

using namespace ruvovav;
using footage::ClipRecipe;
using footage::Motion;
using footage::NoiseKind;

struct Kind {
    const char* name;
    ClipRecipe recipe;  // size and seed are filled in per run
};

const Kind kKinds[] = {
    {"camera", {0, 0, 1, NoiseKind::Camera, Motion::Still, 1.0f, -1, 0}},
    {"camera-h264-pan", {0, 0, 3, NoiseKind::Camera, Motion::Pan, 1.0f, 23, 0}},
    {"grain", {0, 0, 1, NoiseKind::FilmGrain, Motion::Still, 1.0f, -1, 0}},
    {"low-light", {0, 0, 1, NoiseKind::Camera, Motion::Still, 2.0f, -1, 0}},
    {"grain-h264-30", {0, 0, 3, NoiseKind::FilmGrain, Motion::Pan, 1.0f, 30, 0}},
    {"camera-h264-35", {0, 0, 3, NoiseKind::Camera, Motion::Still, 1.0f, 35, 0}},
};

struct Outcome {
    double noisy = 0, automatic = 0, best = 0;
    std::string texture;  // the boxes pressed over texture
    bool warned = false, refused = false;
};

Outcome measure(const ClipRecipe& recipe, kestrel::GlBackend backend) {
    const footage::Clip clip = footage::makeClip(recipe);
    const std::size_t middle = clip.noisy.size() / 2;
    const media::Picture& cleanPicture = clip.clean[middle];
    const kestrel::Frame noisy = cli::hostFrameOf(clip.noisy[middle]);
    const kestrel::Frame clean = cli::hostFrameOf(cleanPicture);
    cli::EffectSession session(RUVOVAV_MODULE_PATH, backend);
    session.setClip(noisy.width, noisy.height, 1, [&](int) { return &noisy; });
    session.parameters().set(Plugin::ids::kNumberOfFrames, 0, {0, 0}, 0);
    Outcome o;
    o.noisy = oracle::framePsnr(noisy.rgba, clean.rgba);
    const auto flat = [&](const cli::PixelRect& b) {
        return footage::isFlat(cleanPicture, b.x, b.y, b.width, b.height);
    };
    try {
        const cli::AnalysisRun run = cli::runAnalysis(session, noisy, {});
        o.warned = !run.warning.empty();
        for (const cli::PressedBox& p : run.pressed) {
            if (!flat(p.box)) o.texture += cli::boxText(p.box) + " ";
        }
        o.automatic = oracle::framePsnr(session.render(0), clean.rgba);
    } catch (const std::exception&) {
        o.refused = true;
    }
    const auto sides = analysis::boxSides(noisy.width, noisy.height);
    o.best = oracle::bestSingleBox(session, 0, oracle::everyBox(noisy.width, noisy.height, sides),
                                   flat, clean.rgba)
                 .bestPsnr;
    return o;
}

}  // namespace

int main(int argc, char** argv) {
    CLI::App app("The automatic analysis against the best single box");
    int width = 384, height = 256, firstSeed = 1, seeds = 4;
    std::string gl = "auto";
    app.add_option("--size", width, "frame width")->capture_default_str();
    app.add_option("--height", height, "frame height")->capture_default_str();
    app.add_option("--first-seed", firstSeed)->capture_default_str();
    app.add_option("--seeds", seeds, "scenes per kind")->capture_default_str();
    app.add_option("--gl", gl, "auto, software or hardware")->capture_default_str();
    CLI11_PARSE(app, argc, argv);

    std::printf(
        "| clip | seed | noisy dB | automatic dB | best box dB | gap dB | over texture |\n");
    std::printf("|---|---:|---:|---:|---:|---:|---|\n");
    int within = 0, total = 0, textured = 0;
    for (int seed = firstSeed; seed < firstSeed + seeds; ++seed) {
        for (const Kind& kind : kKinds) {
            ClipRecipe recipe = kind.recipe;
            recipe.width = width;
            recipe.height = height;
            recipe.seed = uint32_t(seed * 10 + int(&kind - kKinds));
            const Outcome o = measure(recipe, kestrel::parseGlBackend(gl));
            const double gap = o.automatic - o.best;
            ++total;
            within += !o.refused && gap >= -0.3;
            textured += !o.texture.empty();
            std::printf("| %s | %d | %.2f | %s | %.2f | %+.2f | %s |\n", kind.name, seed, o.noisy,
                        o.refused ? "refused"
                                  : (std::to_string(o.automatic).substr(0, 5) +
                                     (o.warned ? " (warned)" : ""))
                                        .c_str(),
                        o.best, gap, o.texture.empty() ? "no" : o.texture.c_str());
            std::fflush(stdout);
        }
    }
    std::printf(
        "\n%d of %d clips within 0.3 dB of the best single box; %d with a box over "
        "texture\n",
        within, total, textured);
    return 0;
}
