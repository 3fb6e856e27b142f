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

// Times as hosts pass them, and the steps a reader expects of each by hand.
TEST(FrameClock, StepsOfTimeSequences) {
    const double ffmpegGarbage = -3.6893488147419103e+20;  // AV_NOPTS_VALUE x (1/25) x 1000
    const double gstNone = 18446744073709551615.0 / 1e9;   // 2^64 - 1 nanoseconds
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    const double ntsc = 1001.0 / 30000.0 * 1000.0;  // milliseconds, not whole numbers
    struct Case {
        const char* what;
        std::vector<double> times;
        std::vector<FrameStep> steps;
    };
    const Case cases[] = {
        {"FFmpeg at 25 fps, milliseconds",
         {0, 40, 80, 120, 160},
         {Restart, MayFollow, Follows, Follows, Follows}},
        {"MLT at 25 fps, position / fps",
         {0, .04, .08, .12, .16},
         {Restart, MayFollow, Follows, Follows, Follows}},
        {"NTSC", {0, ntsc, 2 * ntsc, 3 * ntsc}, {Restart, MayFollow, Follows, Follows}},
        {"MLT repeats the last time at a clip's end",
         {0, .04, .08, .12, .12, .12},
         {Restart, MayFollow, Follows, Follows, Restart, Restart}},
        {"a seek back, and on after it",
         {0, .04, .08, .12, 0.0, .04, .08},
         {Restart, MayFollow, Follows, Follows, Restart, Follows, Follows}},
        {"a gap, a seek forward",
         {0, 40, 80, 160, 200, 10000, 10040},
         {Restart, MayFollow, Follows, Restart, Follows, Restart, Follows}},
        {"one jump is not the period",
         {1.0, 5.0, 5.04, 5.08, 5.12},
         {Restart, MayFollow, MayFollow, Follows, Follows}},
        {"every other frame, then every frame",
         {0, .08, .16, .20, .24, .28},
         {Restart, MayFollow, Follows, MayFollow, Follows, Follows}},
        {"FFmpeg's unusable time at some widths: counted",
         {ffmpegGarbage, ffmpegGarbage, ffmpegGarbage},
         {Restart, Follows, Follows}},
        {"GStreamer's unset timestamp", {gstNone, gstNone}, {Restart, Follows}},
        {"not finite", {nan, inf, -inf}, {Restart, Follows, Follows}},
        {"usable and unusable times",
         {0, 40, ffmpegGarbage, ffmpegGarbage, 120, 160},
         {Restart, MayFollow, Restart, Follows, Restart, MayFollow}},
    };
    for (const Case& c : cases) {
        FrameClock clock;
        std::vector<FrameStep> steps;
        for (double t : c.times) steps.push_back(clock.advance(t));
        EXPECT_EQ(steps, c.steps) << c.what;
    }
    FrameClock clock;
    for (double t : {0.0, 0.04, 0.08}) clock.advance(t);
    ASSERT_TRUE(clock.period().has_value());
    EXPECT_NEAR(*clock.period(), 0.04, 1e-12);
}

TEST(FrameClock, UnusableTimesAreTheHugeAndTheNonFinite) {
    EXPECT_TRUE(usableTime(0));
    EXPECT_TRUE(usableTime(-86'400'000.0));  // a day before zero, in milliseconds
    EXPECT_FALSE(usableTime(1e10));
    EXPECT_FALSE(usableTime(std::nan("")));
}

}  // namespace
}  // namespace ruvovav::editor
