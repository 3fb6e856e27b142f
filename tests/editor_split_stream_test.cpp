// Instances of one frame size noting the times they were given.
#include <gtest/gtest.h>

#include <memory>

#include "editor_core/split_stream_watch.h"

namespace ruvovav::editor {
namespace {

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
