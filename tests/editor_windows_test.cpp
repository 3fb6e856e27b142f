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

TEST(LookbackWindow, LinksAtMostTheWindowOfFramesEndingWithTheCurrentOne) {
    LookbackWindow window;
    const std::vector<FrameStep> steps = {Restart, MayFollow, Follows, Follows, Follows};
    const std::vector<std::vector<int>> expected = {
        {1}, {2}, {1, 2, 3}, {1, 2, 3, 4}, {2, 3, 4, 5}};
    for (size_t i = 0; i < steps.size(); ++i) {
        window.add(marked(int(i) + 1), steps[i], 4);
        EXPECT_EQ(linkedMarks(window), expected[i]) << "frame " << i + 1;
        EXPECT_EQ(window.current().width, int(i) + 1);
    }
    EXPECT_EQ(window.held(), 4u);
}

TEST(LookbackWindow, ARestartDropsEveryEarlierFrame) {
    LookbackWindow window;
    for (int i = 1; i <= 3; ++i) window.add(marked(i), i == 1 ? Restart : Follows, 8);
    window.add(marked(4), Restart, 8);
    EXPECT_EQ(window.held(), 1u);
    window.add(marked(5), Follows, 8);
    EXPECT_EQ(linkedMarks(window), (std::vector{4, 5}));
}

TEST(LookbackWindow, AnUnconfirmedStepKeepsOnlyThePreviousFrame) {
    LookbackWindow window;
    for (int i = 1; i <= 3; ++i) window.add(marked(i), i == 1 ? Restart : Follows, 8);
    window.add(marked(4), MayFollow, 8);
    EXPECT_EQ(linkedMarks(window), (std::vector{4}));
    window.add(marked(5), Follows, 8);
    EXPECT_EQ(linkedMarks(window), (std::vector{3, 4, 5}));
}

TEST(LookbackWindow, AWindowOfOneFrameHoldsNothingElse) {
    LookbackWindow window;
    for (int i = 1; i <= 3; ++i) window.add(marked(i), i == 1 ? Restart : Follows, 1);
    EXPECT_EQ(window.held(), 1u);
    EXPECT_EQ(linkedMarks(window), (std::vector{3}));
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

TEST(CentredWindow, WaitsForTheFramesAfterTheCurrentOne) {
    // Four frames: frame 0 reads frames 0 .. 3, frame 2 reads frames 1 .. 4.
    CentredWindow window;
    for (int i = 0; i < 3; ++i) window.add(tagged(i));
    EXPECT_FALSE(window.ready(4, false));
    EXPECT_TRUE(window.ready(4, true)) << "at the run's end what is held is the clip";
    window.add(tagged(3));
    ASSERT_TRUE(window.ready(4, false));
    window.advance(4);
    ASSERT_TRUE(window.ready(4, false));
    window.advance(4);
    EXPECT_FALSE(window.ready(4, false));
    window.add(tagged(4));
    EXPECT_TRUE(window.ready(4, false));
}

TEST(CentredWindow, StartsANewRunAfterClear) {
    CentredWindow window;
    for (int i = 0; i < 6; ++i) window.add(tagged(i));
    window.advance(4);
    window.clear();
    size_t mostHeld = 0;
    const std::vector<Render> renders = stream(window, 3, 4, mostHeld);
    ASSERT_EQ(renders.size(), 3u);
    EXPECT_EQ(renders[0].window, std::make_pair(0, 2)) << "nothing of the run before";
}

// Instances of one frame size noting the times they were given.

TEST(SplitStreamWatch, SeesEveryOtherFrameGoneToAnotherInstance) {
    // MLT's parallel rendering: frames 0, 2, 4 to one instance, 1, 3, 5 to the other.
    SplitStreamWatch even(160, 96), odd(160, 96);
    EXPECT_FALSE(even.splitBetween(std::nullopt, 0.00));
    EXPECT_FALSE(odd.splitBetween(std::nullopt, 0.04));
    EXPECT_TRUE(even.splitBetween(0.00, 0.08));
    EXPECT_TRUE(odd.splitBetween(0.04, 0.12));
    EXPECT_TRUE(even.splitBetween(0.08, 0.16));
}

TEST(SplitStreamWatch, LetsRunsOfNeighboursThrough) {
    // One thread got frame 0, the other frames 1 to 3 in a row.
    SplitStreamWatch first(160, 96), second(160, 96);
    EXPECT_FALSE(first.splitBetween(std::nullopt, 0.00));
    EXPECT_FALSE(second.splitBetween(std::nullopt, 0.04));
    EXPECT_FALSE(second.splitBetween(0.04, 0.08));
    EXPECT_FALSE(second.splitBetween(0.08, 0.12));
}

TEST(SplitStreamWatch, IgnoresOtherFrameSizesAndInstancesGone) {
    SplitStreamWatch mine(160, 96), wider(322, 96);
    auto gone = std::make_unique<SplitStreamWatch>(160, 96);
    EXPECT_FALSE(wider.splitBetween(std::nullopt, 0.04));
    EXPECT_FALSE(gone->splitBetween(std::nullopt, 0.04));
    gone.reset();
    EXPECT_FALSE(mine.splitBetween(std::nullopt, 0.0));
    EXPECT_FALSE(mine.splitBetween(0.0, 0.08));
}

TEST(SplitStreamWatch, SaysNothingWithoutAForwardStep) {
    SplitStreamWatch a(8, 8), b(8, 8);
    EXPECT_FALSE(b.splitBetween(std::nullopt, 0.5));
    EXPECT_FALSE(a.splitBetween(1.0, 0.0));  // a seek back
    EXPECT_FALSE(a.splitBetween(1.0, 1.0));  // a repeat
}

}  // namespace
}  // namespace ruvovav::editor
