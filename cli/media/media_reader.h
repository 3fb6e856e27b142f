// Reading frames of a video file or an image sequence by index.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>

#include "media_error.h"
#include "picture.h"
#include "video_info.h"

namespace ruvovav::media {

struct ReaderOptions {
    // Image sequences carry no frame rate of their own.
    int sequenceRateNum = 25, sequenceRateDen = 1;
};

// True for a path MediaReader opens as images (a frame-number pattern or a single image).
bool opensAsImages(const std::filesystem::path& input);

class MediaReader {
public:
    // A path with a frame-number pattern ("shots/%04d.png") or a single image opens as an image
    // sequence; anything else as a video file. Throws MediaError.
    static std::unique_ptr<MediaReader> open(const std::filesystem::path& input,
                                             const ReaderOptions& options = {});
    virtual ~MediaReader();

    virtual const VideoInfo& info() const = 0;
    // False past the end; throws MediaError on a corrupt source. Frame N is the same picture
    // whatever was read before it.
    virtual bool read(int64_t frameIndex, Picture& out) = 0;

    // The presentation time of a frame already read (Picture::time); kNoTime otherwise.
    virtual int64_t presentationTime(int64_t frameIndex) const;

    int64_t decodedFrames() const { return decodedFrames_; }

protected:
    int64_t decodedFrames_ = 0;
};

}  // namespace ruvovav::media
