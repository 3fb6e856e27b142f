// What a reader knows about its source, and what a writer is told to keep.
#pragma once

#include <cstdint>
#include <string>

namespace ruvovav::media {

struct VideoInfo {
    int width = 0, height = 0;
    int rateNum = 25, rateDen = 1;  // frames per second as a fraction
    int64_t frameCount = 0;
    std::string codec;        // "h264", "prores", "png", "openexr", ...
    std::string pixelFormat;  // "yuv420p10le", "uint16 RGBA", "half RGBA", ...
    int bitDepth = 8;         // bits per component of the source
    bool isFloat = false;
    bool hasAlpha = false;
    // The clock of the source's frame times (Picture::time): units of timeBaseNum/timeBaseDen
    // seconds. 0/0 when frames carry no time of their own (image sequences).
    int timeBaseNum = 0, timeBaseDen = 0;
};

// Frames larger than this on a side are refused: such sizes come from corrupt headers far more
// often than from real footage, and they would make us allocate gigabytes.
inline constexpr int kMaxFrameSide = 16384;

}  // namespace ruvovav::media
