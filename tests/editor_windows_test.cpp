// The adapters' clock and windows: which frames a render may combine.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>
#include <utility>
#include <vector>

#include "editor_core/centred_window.h"
#include "editor_core/frame_clock.h"
#include "editor_core/lookback_window.h"
#include "editor_core/split_stream_watch.h"
#include "params/effect_rules.h"

namespace ruvovav::editor {
namespace {

// The frame clock on time sequences as FFmpeg, MLT and GStreamer pass them (values taken
// from their frei0r loaders: FFmpeg pts x time base x 1000, MLT position / fps, GStreamer
// timestamp / 1e9), and the steps a reader expects of each by hand.

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

// The window of linked frames, with frames told apart by their width.

kestrel::Frame marked(int mark) {
    return {mark, 1, std::vector<float>(size_t(4) * size_t(mark), 0.0f)};
}

std::vector<int> linkedMarks(const LookbackWindow& window) {
    std::vector<int> marks;
    for (const kestrel::Frame* f : window.linked()) marks.push_back(f->width);
    return marks;
}

// Each case: the window's length, the steps of frames 1, 2, ..., and the frames linked after
// each. A restart drops every earlier frame; an unconfirmed step keeps only the previous one.
TEST(LookbackWindow, LinksTheFramesSinceARestartWithinTheWindow) {
    using Marks = std::vector<int>;
    struct Case {
        size_t frames;
        std::vector<FrameStep> steps;
        std::vector<Marks> linked;
    };
    const Case cases[] = {
        {4,
         {Restart, MayFollow, Follows, Follows, Follows},
         {{1}, {2}, {1, 2, 3}, {1, 2, 3, 4}, {2, 3, 4, 5}}},
        {8, {Restart, Follows, Follows, Restart, Follows}, {{1}, {1, 2}, {1, 2, 3}, {4}, {4, 5}}},
        {8,
         {Restart, Follows, Follows, MayFollow, Follows},
         {{1}, {1, 2}, {1, 2, 3}, {4}, {3, 4, 5}}},
        {1, {Restart, Follows, Follows}, {{1}, {2}, {3}}},
    };
    for (const Case& c : cases) {
        LookbackWindow window;
        for (size_t i = 0; i < c.steps.size(); ++i) {
            window.add(marked(int(i) + 1), c.steps[i], int(c.frames));
            EXPECT_EQ(linkedMarks(window), c.linked[i]) << c.frames << " frames, frame " << i + 1;
            EXPECT_EQ(window.current().width, int(i) + 1);
        }
        EXPECT_EQ(window.held(), c.linked.back().size()) << c.frames << " frames";
    }
}

// The centred window against the tool's: streamed frame by frame, every frame of clips of
// every length is rendered once, in order, with the window the tool gives it on the whole
// clip, while only a bounded number of frames is held.

// Frames tagged with their index in the clip, as their width.
kestrel::Frame tagged(int index) {
    return {index, 1, {}};
}

struct Render {
    int frame;
    std::pair<int, int> window;  // first and last frame of the clip
};

// First and last frame of the tool's window for frame `current` of a clip.
std::pair<int, int> toolWindow(int current, int count, int frames) {
    const Plugin::rules::WindowRange range =
        Plugin::rules::frameWindowRange(current, count, frames, true);
    return {range.first, range.last};
}

// The window the effect's rule picks in the clip it is given, in the frames' own indices.
Render renderOf(const CentredWindow& window, int frames) {
    const std::vector<const kestrel::Frame*> clip = window.clip();
    const auto [first, last] = toolWindow(window.current(), int(clip.size()), frames);
    return {clip[size_t(window.current())]->width,
            {clip[size_t(first)]->width, clip[size_t(last)]->width}};
}

// Streams `count` frames through, renders what is ready after each, and the rest at the end.
std::vector<Render> stream(CentredWindow& window, int count, int frames, size_t& mostHeld) {
    std::vector<Render> renders;
    const auto renderReady = [&](bool ending) {
        while (window.ready(frames, ending)) {
            renders.push_back(renderOf(window, frames));
            window.advance(frames);
        }
    };
    for (int i = 0; i < count; ++i) {
        window.add(tagged(i));
        mostHeld = std::max(mostHeld, window.held());
        renderReady(false);
    }
    renderReady(true);
    return renders;
}

TEST(CentredWindow, GivesEveryFrameTheToolsWindowOnTheWholeClip) {
    for (int frames : {1, 2, 4, 8}) {
        for (int count = 1; count <= 12; ++count) {
            CentredWindow window;
            size_t mostHeld = 0;
            const std::vector<Render> renders = stream(window, count, frames, mostHeld);
            ASSERT_EQ(renders.size(), size_t(count)) << frames << " frames, clip of " << count;
            for (int i = 0; i < count; ++i) {
                EXPECT_EQ(renders[size_t(i)].frame, i);
                EXPECT_EQ(renders[size_t(i)].window, toolWindow(i, count, frames))
                    << "frame " << i << " of " << count << " with " << frames << " frames";
            }
            EXPECT_LE(mostHeld, size_t(2 * frames - 1));
            EXPECT_EQ(window.waiting(), 0u);
        }
    }
}

// Instances of one frame size noting the times they were given.

// That it sees every other frame gone to another instance is checked on the frei0r plug-in.
TEST(SplitStreamWatch, SaysNothingOfRunsOtherSizesInstancesGoneOrStepsBack) {
    {
        // One thread got frame 0, the other frames 1 to 3 in a row.
        SplitStreamWatch first(160, 96), second(160, 96);
        EXPECT_FALSE(first.splitBetween(std::nullopt, 0.00));
        EXPECT_FALSE(second.splitBetween(std::nullopt, 0.04));
        EXPECT_FALSE(second.splitBetween(0.04, 0.08));
        EXPECT_FALSE(second.splitBetween(0.08, 0.12));
    }
    SplitStreamWatch mine(160, 96), wider(322, 96);
    auto gone = std::make_unique<SplitStreamWatch>(160, 96);
    EXPECT_FALSE(wider.splitBetween(std::nullopt, 0.04));
    EXPECT_FALSE(gone->splitBetween(std::nullopt, 0.04));
    EXPECT_FALSE(mine.splitBetween(std::nullopt, 0.0));
    EXPECT_FALSE(mine.splitBetween(1.0, 0.0));  // a seek back over the other's 0.04
    EXPECT_FALSE(mine.splitBetween(1.0, 1.0));  // a repeat
    gone.reset();
    EXPECT_FALSE(mine.splitBetween(0.0, 0.08));  // 0.04 went to another size, or is gone
}

}  // namespace
}  // namespace ruvovav::editor
