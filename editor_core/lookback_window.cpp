#include "editor_core/lookback_window.h"

#include <algorithm>

namespace ruvovav::editor {

void LookbackWindow::add(kestrel::Frame frame, FrameStep step, int frames) {
    switch (step) {
        case FrameStep::Restart:
            held_.clear();
            break;
        case FrameStep::MayFollow:
            // Only the previous frame may belong to the run this frame starts.
            while (held_.size() > 1) held_.pop_front();
            break;
        case FrameStep::Follows:
            break;
    }
    held_.push_back(std::move(frame));
    while (held_.size() > size_t(std::max(frames, 1))) held_.pop_front();
    linked_ = step == FrameStep::Follows ? held_.size() : 1;
}

std::vector<const kestrel::Frame*> LookbackWindow::linked() const {
    std::vector<const kestrel::Frame*> frames;
    for (size_t i = held_.size() - linked_; i < held_.size(); ++i) frames.push_back(&held_[i]);
    return frames;
}

}  // namespace ruvovav::editor
