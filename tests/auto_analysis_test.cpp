// The analysis as the tool runs it on the loaded module: a box given by hand must lie inside
// the frame, and lands on the effect's own points. How well the automatic choice does is
// measured on camera-like footage (footage_analysis_test).
#include <gtest/gtest.h>

#include <cmath>

#include "cli/analysis_runner.h"
#include "cli/effect_session.h"

namespace {

using namespace ruvovav::cli;

TEST(AnalysisRequests, AGivenBoxMustLieInsideTheFrame) {
    const kestrel::Frame grey{96, 64, std::vector<float>(96 * 64 * 4, 0.5f)};
    EffectSession session(RUVOVAV_MODULE_PATH, kestrel::GlBackend::Automatic);
    session.setClip(96, 64, 1, [&](int) { return &grey; });
    for (const PixelRect box :
         {PixelRect{96 - 10, 0, 32, 32}, PixelRect{-1, 0, 32, 32}, PixelRect{0, 40, 32, 32}}) {
        AnalysisRequest request;
        request.box = box;
        EXPECT_THROW(runAnalysis(session, grey, request), UsageError) << boxText(box);
    }
    EXPECT_EQ(session.host().gl()->lentImages().outstanding(), 0);
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
