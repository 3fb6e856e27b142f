// Decoded frames of the input, held for as long as the render window may still ask for
// them, so that no frame is decoded twice while it is needed.
//
// Moving to a frame reads the whole window around it in ascending order before the render
// asks for any of it, so a decoder that reads forward never goes back for a frame. Frames
// are handed to the host as it stores them: premultiplied, rows bottom up.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "cli/media/media_reader.h"
#include "host/clip_frames.h"

namespace ruvovav::cli {

class FrameCache {
public:
    // A clip of `frameCount` frames rendered with a window of `windowFrames` frames.
    FrameCache(std::shared_ptr<media::MediaReader> reader, int frameCount, int windowFrames);

    // Frame i, or null when it cannot be read (then error() says why). Valid until the
    // next call of frame() or setCurrent().
    const kestrel::Frame* frame(int index);
    // Forgets frames the window around `current` can no longer reach and reads the ones it
    // can that are not held yet. False when one cannot be read (error() says why).
    bool setCurrent(int current);

    const std::optional<std::string>& error() const { return error_; }
    size_t heldFrames() const { return frames_.size(); }

private:
    bool inWindow(int index) const { return index >= first_ && index <= last_; }

    std::shared_ptr<media::MediaReader> reader_;
    int frameCount_;
    int windowFrames_;
    int first_ = 0;  // the window around the current frame
    int last_ = 0;
    std::map<int, kestrel::Frame> frames_;
    std::optional<std::string> error_;
};

}  // namespace ruvovav::cli
