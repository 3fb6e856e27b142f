// One frame as the render loop sees it: RGBA floats, whatever the source's format was.
#pragma once

#include <cstdint>
#include <limits>
#include <vector>

namespace ruvovav::media {

// Straight (un-premultiplied) alpha, first row = top row, 4 floats per pixel, nominal range 0..1
// (float sources may exceed it); alpha is 1 when the source has none.
struct Picture {
    static constexpr int64_t kNoTime = std::numeric_limits<int64_t>::min();

    int width = 0, height = 0;
    std::vector<float> rgba;
    // Presentation time in the source's clock (VideoInfo::timeBaseNum/Den); kNoTime when
    // unknown, and then frames follow the nominal rate.
    int64_t time = kNoTime;
};

}  // namespace ruvovav::media
