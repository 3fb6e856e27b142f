// Which frames a render's window holds, worked out by hand for each case.
#include <gtest/gtest.h>

#include "params/effect_rules.h"
#include "render/frame_window.h"

namespace {

struct Case {
    int current, frameCount, frames;
    bool clampAtEnd;
    int first, last, currentIndex;
};

TEST(FrameWindow, SlidesInwardsAtBothEndsOfTheClip) {
    const Case cases[] = {
        {5, 100, 1, true, 5, 5, 0},       // the current frame alone
        {5, 100, 2, true, 5, 6, 0},       // one more after than before
        {5, 100, 4, true, 4, 7, 1},       // c - 1 .. c + 2
        {5, 100, 8, true, 2, 9, 3},       // c - 3 .. c + 4
        {0, 100, 8, true, 0, 7, 0},       // at the start
        {1, 100, 8, true, 0, 7, 1},       //
        {99, 100, 2, true, 98, 99, 1},    // at the end: c - 1, c
        {98, 100, 8, true, 92, 99, 6},    //
        {2, 3, 4, true, 0, 2, 2},         // a clip shorter than the window
        {0, 3, 8, true, 0, 2, 0},         //
        {99, 100, 2, false, 99, 100, 0},  // a host that serves frames past the end
        {98, 100, 8, false, 95, 102, 3},  //
    };
    for (const Case& c : cases) {
        const Plugin::rules::WindowRange range =
            Plugin::rules::frameWindowRange(c.current, c.frameCount, c.frames, c.clampAtEnd);
        EXPECT_EQ(range.first, c.first) << c.current << " of " << c.frameCount << ", " << c.frames;
        EXPECT_EQ(range.last, c.last) << c.current << " of " << c.frameCount << ", " << c.frames;
        EXPECT_EQ(range.currentIndex, c.currentIndex) << c.current << ", " << c.frames;
    }
}

}  // namespace
