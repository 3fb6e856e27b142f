// Decoded frames of the input, held for as long as the render window may still ask for
// them, so that no frame is decoded twice while it is needed.
//
// Moving to a frame reads the whole window around it in ascending order before the render
// asks for any of it, so a decoder that reads forward never goes back for a frame. Frames
// are decoded ahead on the decoder's thread and handed to the host as it stores them:
// premultiplied, rows bottom up.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "cli/frame_decoder.h"
#include "cli/media/media_reader.h"
#include "host/clip_frames.h"

namespace ruvovav::cli {

class FrameCache {
public:
    // A clip of `frameCount` frames rendered with a window of `windowFrames` frames; up to
    // `readAhead` frames past the window are decoded before the render asks for them.
    FrameCache(std::shared_ptr<media::MediaReader> reader, int frameCount, int windowFrames,
               int readAhead = 2);

    // Frame i, or null when it cannot be read (then error() says why). Valid until the
    // next call of frame() or setCurrent().
    const kestrel::Frame* frame(int index);
    // Forgets frames the window around `current` can no longer reach and reads the ones it
    // can that are not held yet. False when one cannot be read (error() says why).
    bool setCurrent(int current);

    // The presentation time of a held frame (Picture::time); Picture::kNoTime for others.
    int64_t presentationTime(int index) const;

    const std::optional<std::string>& error() const { return error_; }
    size_t heldFrames() const { return frames_.size(); }
    // Seconds the decoder's thread spent reading and converting frames.
    double decodeSeconds() const { return decoder_.decodeSeconds(); }

private:
    bool inWindow(int index) const { return index >= first_ && index <= last_; }

    FrameDecoder decoder_;
    int frameCount_;
    int windowFrames_;
    int first_ = 0;  // the window around the current frame
    int last_ = 0;
    std::map<int, DecodedFrame> frames_;
    std::optional<std::string> error_;
};

}  // namespace ruvovav::cli
