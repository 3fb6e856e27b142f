// The frame clock on time sequences as FFmpeg, MLT and GStreamer pass them (values taken
// from their frei0r loaders: FFmpeg pts x time base x 1000, MLT position / fps, GStreamer
// timestamp / 1e9), and the steps a reader expects of each by hand.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "editor_core/frame_clock.h"

namespace ruvovav::editor {
namespace {

using enum FrameStep;

std::vector<FrameStep> stepsOf(const std::vector<double>& times, FrameClock clock = {}) {
    std::vector<FrameStep> steps;
    for (double t : times) steps.push_back(clock.advance(t));
    return steps;
}

TEST(FrameClock, LearnsThePeriodOnceAStepRepeats) {
    // FFmpeg at 25 fps: milliseconds.
    EXPECT_EQ(stepsOf({0, 40, 80, 120, 160}),
              (std::vector{Restart, MayFollow, Follows, Follows, Follows}));
    // MLT at 25 fps: seconds, position / fps.
    std::vector<double> mlt;
    for (int i = 0; i < 5; ++i) mlt.push_back(double(i) / 25.0);
    EXPECT_EQ(stepsOf(mlt), (std::vector{Restart, MayFollow, Follows, Follows, Follows}));
    // NTSC in milliseconds: 1001 / 30000 s, steps that are not whole numbers.
    std::vector<double> ntsc;
    for (int i = 0; i < 5; ++i) ntsc.push_back(double(i) * 1001.0 / 30000.0 * 1000.0);
    EXPECT_EQ(stepsOf(ntsc), (std::vector{Restart, MayFollow, Follows, Follows, Follows}));
}

TEST(FrameClock, KeepsThePeriodItLearnt) {
    FrameClock clock;
    for (double t : {0.0, 0.04, 0.08}) clock.advance(t);
    ASSERT_TRUE(clock.period().has_value());
    EXPECT_NEAR(*clock.period(), 0.04, 1e-12);
}

TEST(FrameClock, RestartsAtARepeat) {
    // MLT repeats the last time at a clip's end.
    EXPECT_EQ(stepsOf({0, .04, .08, .12, .12, .12}),
              (std::vector{Restart, MayFollow, Follows, Follows, Restart, Restart}));
}

TEST(FrameClock, RestartsAtASeekBackAndGoesOnAfterIt) {
    EXPECT_EQ(stepsOf({0, .04, .08, .12, 0.0, .04, .08}),
              (std::vector{Restart, MayFollow, Follows, Follows, Restart, Follows, Follows}));
}

TEST(FrameClock, RestartsAtAGapOrASeekForward) {
    EXPECT_EQ(stepsOf({0, 40, 80, 160, 200, 10000, 10040}),
              (std::vector{Restart, MayFollow, Follows, Restart, Follows, Restart, Follows}));
}

TEST(FrameClock, DoesNotTakeOneSeekForThePeriod) {
    // An editor that starts with a jump: 1 s then 5 s, then plays from 5 s.
    EXPECT_EQ(stepsOf({1.0, 5.0, 5.04, 5.08, 5.12}),
              (std::vector{Restart, MayFollow, MayFollow, Follows, Follows}));
}

TEST(FrameClock, LearnsAShorterPeriodAgain) {
    // Every other frame first (a period of 0.08 learnt), then every frame.
    EXPECT_EQ(stepsOf({0, .08, .16, .20, .24, .28}),
              (std::vector{Restart, MayFollow, Follows, MayFollow, Follows, Follows}));
}

TEST(FrameClock, CountsFramesWhoseTimeIsUnusable) {
    // FFmpeg's time at some widths: AV_NOPTS_VALUE x (1/25) x 1000.
    const double ffmpegGarbage = -3.6893488147419103e+20;
    EXPECT_EQ(stepsOf({ffmpegGarbage, ffmpegGarbage, ffmpegGarbage}),
              (std::vector{Restart, Follows, Follows}));
    // GStreamer's unset timestamp, 2^64 - 1 nanoseconds.
    const double gstNone = 18446744073709551615.0 / 1e9;
    EXPECT_EQ(stepsOf({gstNone, gstNone}), (std::vector{Restart, Follows}));
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    EXPECT_EQ(stepsOf({nan, inf, -inf}), (std::vector{Restart, Follows, Follows}));
}

TEST(FrameClock, RestartsBetweenUsableAndUnusableTimes) {
    const double garbage = -3.6893488147419103e+20;
    EXPECT_EQ(stepsOf({0, 40, garbage, garbage, 120, 160}),
              (std::vector{Restart, MayFollow, Restart, Follows, Restart, MayFollow}));
}

TEST(FrameClock, UnusableTimesAreTheHugeAndTheNonFinite) {
    EXPECT_TRUE(usableTime(0));
    EXPECT_TRUE(usableTime(-86'400'000.0));  // a day before zero, in milliseconds
    EXPECT_FALSE(usableTime(1e10));
    EXPECT_FALSE(usableTime(std::nan("")));
}

}  // namespace
}  // namespace ruvovav::editor
