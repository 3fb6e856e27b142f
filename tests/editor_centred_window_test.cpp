// The centred window against the tool's: streamed frame by frame, every frame of clips of
// every length is rendered once, in order, with the window the tool gives it on the whole
// clip, while only a bounded number of frames is held.
#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "editor_core/centred_window.h"
#include "params/effect_rules.h"

namespace ruvovav::editor {
namespace {

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

}  // namespace
}  // namespace ruvovav::editor
