// The automatic analysis driven through the loaded module, on a generated frame whose truth is
// known: flat patches at five brightness levels set in texture, Gaussian noise everywhere and
// a film-like grain strongest in the mid-tones. It must do about as well as the best box a
// person could find by trying every flat one, and never measure texture.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <random>

#include "cli/analysis/box_candidates.h"
#include "cli/analysis_runner.h"
#include "cli/effect_session.h"
#include "tests/support/box_oracle.h"

namespace {

using namespace ruvovav::cli;

constexpr int kWidth = 640;
constexpr int kHeight = 256;
constexpr float kPatchLuma[5] = {0.12f, 0.3f, 0.5f, 0.7f, 0.88f};

// Patch i covers columns [128i + 24, 128i + 104) of rows [24, 104); everything else is
// texture.
bool inPatch(int x, int y, int& patch) {
    patch = x / 128;
    const int local = x - 128 * patch;
    return y >= 24 && y < 104 && local >= 24 && local < 104 && patch < 5;
}

float textureLuma(int x, int y) {
    const float rings = 0.25f * std::sin(0.35f * float(x)) * std::cos(0.27f * float(y));
    const float edge = ((x / 20 + y / 16) % 2 == 0) ? 0.15f : -0.15f;
    return 0.5f + rings + edge;
}

struct TestFrame {
    kestrel::Frame clean;
    kestrel::Frame noisy;
};

// Grey frames (premultiplied RGBA, rows bottom up, as the host stores them). The grain's
// deviation peaks at mid grey: 0.07 at Y = 0.5, 0.02 at the ends.
TestFrame makeFrame() {
    TestFrame f{{kWidth, kHeight, {}}, {kWidth, kHeight, {}}};
    std::mt19937 generator(7);
    std::normal_distribution<float> unit(0.0f, 1.0f);
    for (int row = 0; row < kHeight; ++row) {
        const int y = kHeight - 1 - row;
        for (int x = 0; x < kWidth; ++x) {
            int patch = 0;
            const float clean = inPatch(x, y, patch) ? kPatchLuma[patch] : textureLuma(x, y);
            const float grain = 0.02f + 0.2f * clean * (1.0f - clean);
            const float v = clean + 0.01f * unit(generator) + grain * unit(generator);
            f.clean.rgba.insert(f.clean.rgba.end(), {clean, clean, clean, 1.0f});
            f.noisy.rgba.insert(f.noisy.rgba.end(), {v, v, v, 1.0f});
        }
    }
    return f;
}

bool insideOnePatch(const PixelRect& box) {
    int first = 0;
    int last = 0;
    if (!inPatch(box.x, box.y, first) ||
        !inPatch(box.x + box.width - 1, box.y + box.height - 1, last)) {
        return false;
    }
    return first == last;
}

class AutoAnalysis : public ::testing::Test {
protected:
    void SetUp() override {
        frame_ = makeFrame();
        session_ =
            std::make_unique<EffectSession>(RUVOVAV_MODULE_PATH, kestrel::GlBackend::Automatic);
        session_->setClip(kWidth, kHeight, 1, [this](int) { return &frame_.noisy; });
        session_->parameters().set("numberOfFrames", 0, {0, 0}, 0);
    }
    double renderPsnr() {
        const std::vector<float> out = session_->render(0);
        EXPECT_EQ(session_->host().gl()->lentImages().outstanding(), 0);
        EXPECT_EQ(session_->host().hostErrors(), 0);
        return ruvovav::oracle::framePsnr(out, frame_.clean.rgba);
    }

    TestFrame frame_;
    std::unique_ptr<EffectSession> session_;
};

TEST_F(AutoAnalysis, ComesWithinHalfADecibelOfTheBestFlatBoxAndNeverMeasuresTexture) {
    const std::vector<PressedBox> boxes = runAnalysis(*session_, frame_.noisy, {}).pressed;
    ASSERT_FALSE(boxes.empty());
    EXPECT_EQ(boxes[0].button, "analyzeButton");
    for (const PressedBox& b : boxes) {
        EXPECT_TRUE(insideOnePatch(b.box))
            << b.button << " " << boxText(b.box) << " is over texture";
    }
    const double automatic = renderPsnr();

    // Every flat candidate of the chooser's own size, each pressed alone on a fresh analysis.
    ruvovav::analysis::LumaImage luma{kWidth, kHeight, {}};
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x) {
            luma.y.push_back(frame_.noisy.rgba[4 * (size_t(kHeight - 1 - y) * kWidth + size_t(x))]);
        }
    }
    const int side = boxes[0].box.width;
    double best = -1e9;
    int tried = 0;
    for (const auto& c : ruvovav::analysis::rankCandidates(luma, side)) {
        const PixelRect box{c.box.x, c.box.y, c.box.width, c.box.height};
        if (!insideOnePatch(box)) continue;  // the chooser's business; the oracle tries flat ones
        ruvovav::oracle::resetAnalysis(session_->parameters());
        session_->pressAnalysis(box, 0, "analyzeButton");
        best = std::max(best, renderPsnr());
        ++tried;
    }
    const double noisy = ruvovav::oracle::framePsnr(frame_.noisy.rgba, frame_.clean.rgba);
    std::printf("noisy %.2f dB, automatic %.2f dB (%zu boxes), best of %d single boxes %.2f dB\n",
                noisy, automatic, boxes.size(), tried, best);
    ASSERT_GE(tried, 5) << "every patch holds a flat candidate";
    EXPECT_GE(automatic, best - 0.5);
    EXPECT_GT(automatic, noisy + 2.0);
}

TEST_F(AutoAnalysis, AGivenBoxMustLieInsideTheFrame) {
    AnalysisRequest request;
    request.box = PixelRect{kWidth - 10, 0, 64, 64};
    EXPECT_THROW(runAnalysis(*session_, frame_.noisy, request), UsageError);
    request.box = PixelRect{-1, 0, 64, 64};
    EXPECT_THROW(runAnalysis(*session_, frame_.noisy, request), UsageError);
}

// A box given in top-left pixels lands on the same pixels in the effect's centred, y-up
// points: the effect's rounding, floor(size / 2 + point + 0.5), gives the edges back.
TEST(AnalysisPoints, MapTopLeftPixelsOntoTheEffectsCentredPoints) {
    for (const auto& [w, h] : {std::pair{480, 256}, std::pair{321, 199}}) {
        const PixelRect box{10, 20, 64, 30};
        const auto [p1, p2] = analysisPoints(box, w, h);
        const auto edge = [](int size, double p) { return int(std::floor(size * 0.5 + p + 0.5)); };
        EXPECT_EQ(edge(w, std::min(p1.x, p2.x)), 10);
        EXPECT_EQ(edge(w, std::max(p1.x, p2.x)), 74);
        // Bottom and top rows counted from the bottom of the frame.
        EXPECT_EQ(edge(h, std::min(p1.y, p2.y)), h - 50);
        EXPECT_EQ(edge(h, std::max(p1.y, p2.y)), h - 20);
    }
}

}  // namespace
