// The automatic analysis on footage made the way cameras, codecs and film make it: noise
// correlated between neighbouring pixels by demosaicing, compression and grain, over a
// procedural scene whose clean frames are known. On every clip the analysis must measure
// somewhere, never over texture, and come within 0.3 dB of the best box a person could find
// by trying every candidate.
#include <gtest/gtest.h>

#include <memory>

#include "cli/analysis/box_candidates.h"
#include "cli/analysis_runner.h"
#include "cli/effect_session.h"
#include "cli/frame_cache.h"
#include "cli/host_frames.h"
#include "footage/camera_clip.h"
#include "tests/support/box_oracle.h"

namespace {

using namespace ruvovav;
using footage::ClipRecipe;
using footage::Motion;
using footage::NoiseKind;

struct Footage {
    const char* name;
    ClipRecipe recipe;
};

void PrintTo(const Footage& f, std::ostream* os) {
    *os << f.name;
}

// Pans run over several frames so that the codec predicts across them; the middle frame is
// analysed and rendered.
const Footage kFootage[] = {
    {"CameraStill", {384, 256, 1, NoiseKind::Camera, Motion::Still, 1.0f, -1, 101}},
    {"CameraPanH264", {384, 256, 5, NoiseKind::Camera, Motion::Pan, 1.0f, 23, 102}},
    {"CameraHeavyCompression", {384, 256, 5, NoiseKind::Camera, Motion::Still, 1.0f, 35, 103}},
    {"GrainStill", {384, 256, 1, NoiseKind::FilmGrain, Motion::Still, 1.0f, -1, 104}},
    {"GrainPanH264", {384, 256, 5, NoiseKind::FilmGrain, Motion::Pan, 1.0f, 23, 105}},
    {"LowLightCamera", {384, 256, 1, NoiseKind::Camera, Motion::Still, 2.0f, -1, 13}},
    {"GrainCompressedPan", {384, 256, 3, NoiseKind::FilmGrain, Motion::Pan, 1.0f, 30, 24}},
    // Compressed so hard that flat areas keep no fine noise at all, only coarse blotches.
    {"CameraCrushedByTheCodec", {384, 256, 3, NoiseKind::Camera, Motion::Still, 1.0f, 35, 75}},
};

class FootageAnalysis : public ::testing::TestWithParam<Footage> {
protected:
    void SetUp() override {
        const footage::Clip clip = footage::makeClip(GetParam().recipe);
        const std::size_t middle = clip.noisy.size() / 2;
        clean_ = clip.clean[middle];
        noisy_ = cli::hostFrameOf(clip.noisy[middle]);
        cleanFrame_ = cli::hostFrameOf(clean_);
        session_ = std::make_unique<cli::EffectSession>(RUVOVAV_MODULE_PATH,
                                                        kestrel::GlBackend::Automatic);
        session_->setClip(noisy_.width, noisy_.height, 1, [this](int) { return &noisy_; });
        session_->parameters().set("numberOfFrames", 0, {0, 0}, 0);
    }

    bool flat(const cli::PixelRect& b) const {
        return footage::isFlat(clean_, b.x, b.y, b.width, b.height);
    }

    media::Picture clean_;
    kestrel::Frame noisy_, cleanFrame_;
    std::unique_ptr<cli::EffectSession> session_;
};

TEST_P(FootageAnalysis, MeasuresOnlyFlatAreasAndComesWithinAThirdOfADecibelOfTheBestBox) {
    cli::AnalysisRun run;
    ASSERT_NO_THROW(run = cli::runAnalysis(*session_, noisy_, {}));
    ASSERT_FALSE(run.pressed.empty());
    for (const cli::PressedBox& b : run.pressed) {
        EXPECT_TRUE(flat(b.box)) << b.button << " " << cli::boxText(b.box) << " is over texture";
    }
    const double automatic = oracle::framePsnr(session_->render(0), cleanFrame_.rgba);
    EXPECT_EQ(session_->host().gl()->lentImages().outstanding(), 0);
    EXPECT_EQ(session_->host().hostErrors(), 0);

    const oracle::OracleResult best = oracle::bestSingleBox(
        *session_, 0,
        oracle::everyBox(noisy_.width, noisy_.height,
                         analysis::boxSides(noisy_.width, noisy_.height)),
        [this](const cli::PixelRect& b) { return flat(b); }, cleanFrame_.rgba);
    const double noisy = oracle::framePsnr(noisy_.rgba, cleanFrame_.rgba);
    ASSERT_GT(best.tried, 0) << "the scene holds flat areas";
    EXPECT_GE(automatic, best.bestPsnr - 0.3)
        << "automatic " << cli::boxText(run.pressed[0].box) << ", best of " << best.tried << " "
        << cli::boxText(best.bestBox) << ": " << best.bestPsnr << " dB";
    EXPECT_GT(automatic, noisy);
}

INSTANTIATE_TEST_SUITE_P(Clips, FootageAnalysis, ::testing::ValuesIn(kFootage),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
