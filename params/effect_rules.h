// The rules the module and everything that drives it must agree on: which frame counts the
// "numberOfFrames" entries stand for, what the "viewOption" entries show, which frames a
// render's window holds, and which brightness band a mean luma falls in.
//
// Header-only, without GL or host calls, so that the module, the tool and the editor
// adapters compile the same definitions instead of keeping copies in step by hand.
#pragma once

#include <algorithm>

namespace Plugin::rules {

// "numberOfFrames" entries 0 .. 3 hold 1, 2, 4 and 8 frames.
inline constexpr int kFrameChoices = 4;

constexpr int framesOfChoice(int index) {
    return 1 << std::clamp(index, 0, kFrameChoices - 1);
}

// The entry holding `frames`; -1 for a count the effect does not offer.
constexpr int choiceOfFrames(int frames) {
    for (int index = 0; index < kFrameChoices; ++index) {
        if (frames == framesOfChoice(index)) return index;
    }
    return -1;
}

// "viewOption" entries.
enum ViewOption : int {
    kViewResult = 0,
    kViewAnalysisBox = 1,
    kViewFrequencyY = 2,
    kViewFrequencyU = 3,
    kViewFrequencyV = 4,
};

// Frames first .. last of the clip, and where the current one sits among them.
struct WindowRange {
    int first = 0;
    int last = 0;
    int currentIndex = 0;
    constexpr int size() const { return last - first + 1; }
};

// `frames` around `current`, one more after it than before it for an even count. The window
// slides inwards at the clip's start and, unless `clampAtEnd` is false, at its end too.
constexpr WindowRange frameWindowRange(int current, int frameCount, int frames, bool clampAtEnd) {
    WindowRange range;
    const int half = (frames - 1) / 2;
    range.first = std::max(0, current - half);
    range.last = range.first + frames - 1;
    if (clampAtEnd && range.first + frames > frameCount) {
        range.last = frameCount - 1;
        range.first = std::max(0, range.last - frames + 1);
    }
    range.currentIndex = current - range.first;
    return range;
}

// Brightness bands are 0, 10, ..., 100 percent of full luma.
inline constexpr int kBrightnessBands = 11;

// The band of a mean luma in 0 .. 1, in percent: the nearest tenth, clamped. Out-of-range and
// NaN means stay defined because the clamp comes before the integer conversion.
constexpr int brightnessBandOf(float meanY) {
    const float tenths = meanY * 10.0f + 0.5f;
    if (!(tenths >= 0.0f)) return 0;
    if (tenths >= float(kBrightnessBands - 1)) return (kBrightnessBands - 1) * 10;
    return 10 * int(tenths);
}

}  // namespace Plugin::rules
