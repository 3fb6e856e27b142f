// Writing frames to a video file or an image sequence, the format chosen by the extension.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>

#include "media_error.h"
#include "picture.h"
#include "video_info.h"

namespace ruvovav::media {

struct WriterOptions {
    std::string codec;  // empty: by extension; "ffv1", "prores", "h264", "h265"/"hevc"
    int crf = -1;       // -1: the codec's default quality (H.264 and H.265 only)
    bool overwrite = false;
    int64_t startNumber = 0;  // number of the first image of a sequence
};

class MediaWriter {
public:
    // Refuses an existing output unless options.overwrite, and unknown extensions. A
    // sequence refuses only the source.frameCount images it would write from startNumber.
    static std::unique_ptr<MediaWriter> create(const std::filesystem::path& output,
                                               const VideoInfo& source,
                                               const WriterOptions& options);
    virtual ~MediaWriter();

    virtual void write(const Picture& picture) = 0;
    // A playable, properly finished output of the frames written so far.
    virtual void finish() = 0;
    // Removes everything written: no half-written output is ever left behind.
    virtual void abandon() = 0;
};

// One picture as a single image file, the format by extension as for a sequence (16-bit
// PNG or TIFF, half-float EXR). Refuses an existing file unless `overwrite`.
void writeStill(const std::filesystem::path& file, const Picture& picture, bool overwrite);

// A short text of the readable and writable formats, for --help.
std::string describeFormats();

}  // namespace ruvovav::media
