// Writing frames to a video file or an image sequence, the format chosen by the extension.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
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
    // A video file whose sound, subtitles and metadata a video output takes along; empty,
    // an image or an image sequence: none.
    std::filesystem::path source;
    bool audio = true;         // the source's sound comes along
    std::string audioLeftOut;  // with audio false: why, told once per sound stream
    // The frames start at the source's first: once all are written, all of the sound comes
    // along. Otherwise (a range, or fewer frames) the sound spans the frames written.
    bool wholeClip = true;
    std::function<void(const std::string&)> notice;  // one line per decision users should know
};

class MediaWriter {
public:
    // Refuses an existing output unless options.overwrite, and unknown extensions. A
    // sequence refuses only the source.frameCount images it would write from startNumber.
    // Fails here, before any frame, when the folder cannot be written. Every file is
    // written under a temporary name and renamed when complete.
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

// One picture as a single image file, the format by extension, 16 bits where the type holds
// them (half floats in EXR, 8 bits in JPEG). Makes the folder; refuses an existing file
// unless `overwrite`.
void writeStill(const std::filesystem::path& file, const Picture& picture, bool overwrite);

// A short text of the readable and writable formats, for --help.
std::string describeFormats();

}  // namespace ruvovav::media
