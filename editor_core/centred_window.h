// The frames an adapter that may hold frames keeps, so that each frame is rendered with the
// window the tool gives it: centred on the frame, leaning forward for even sizes, pushed
// inwards at the run's start and end.
//
// Frames come in one at a time and leave in the same order, each once the frames after it
// that its window reads have come, or when the run ends. The effect is told that the held
// frames are the clip: its own rule then picks the tool's window, because every frame its
// window reads is held and the oldest held frame is either the run's first or lies before
// the window (the window's end only reaches the clip's end when the run ends).
#pragma once

#include <cstddef>
#include <deque>
#include <vector>

#include "host/clip_frames.h"

namespace ruvovav::editor {

class CentredWindow {
public:
    // Adds the next frame of the run.
    void add(kestrel::Frame frame);
    // Whether the oldest waiting frame can be rendered with a window of `frames`: every frame
    // its window reads has come, or the run ends with what is held (`ending`).
    bool ready(int frames, bool ending) const;
    // Every held frame as the clip the render reads, oldest first.
    std::vector<const kestrel::Frame*> clip() const;
    // The oldest waiting frame's index in clip().
    int current() const { return int(rendered_); }
    // The oldest waiting frame was rendered: forgets the frames no later window of `frames`
    // reads, wherever the run ends.
    void advance(int frames);
    // Forgets every frame: the next one starts a new run.
    void clear();

    size_t waiting() const { return held_.size() - rendered_; }
    size_t held() const { return held_.size(); }

private:
    std::deque<kestrel::Frame> held_;
    size_t rendered_ = 0;  // leading frames of held_ already rendered
};

}  // namespace ruvovav::editor
