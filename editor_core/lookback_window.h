// The frames a filter keeps so that each render can look back: the current frame and the
// ones before it that the clock linked to it, at most the effect's window of N frames.
//
// A filter is handed one frame and must return it, so it cannot wait for later frames.
// The window holds the last N - 1 frames of the linked run, and the effect is told that
// the current frame is the last frame of a clip made of the window: its own rule for a
// clip's end then renders frames c - N + 1 ... c.
#pragma once

#include <deque>
#include <vector>

#include "editor_core/frame_clock.h"
#include "host/clip_frames.h"

namespace ruvovav::editor {

class LookbackWindow {
public:
    // Adds the current frame as the clock placed it and keeps at most `frames` frames.
    void add(kestrel::Frame frame, FrameStep step, int frames);
    // The frames the current render combines, oldest first; the current frame is last.
    std::vector<const kestrel::Frame*> linked() const;
    const kestrel::Frame& current() const { return held_.back(); }
    size_t held() const { return held_.size(); }

private:
    std::deque<kestrel::Frame> held_;
    size_t linked_ = 0;  // trailing frames of held_ in the current run
};

}  // namespace ruvovav::editor
