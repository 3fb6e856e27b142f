// The window of linked frames, with frames told apart by their width.
#include <gtest/gtest.h>

#include <vector>

#include "editor_core/lookback_window.h"

namespace ruvovav::editor {
namespace {

using enum FrameStep;

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

}  // namespace
}  // namespace ruvovav::editor
