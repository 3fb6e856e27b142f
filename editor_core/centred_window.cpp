#include "editor_core/centred_window.h"

#include <climits>

#include "params/effect_rules.h"

namespace ruvovav::editor {

void CentredWindow::add(kestrel::Frame frame) {
    held_.push_back(std::move(frame));
}

bool CentredWindow::ready(int frames, bool ending) const {
    if (waiting() == 0) return false;
    if (ending) return true;
    // The tool's window in a clip that has not ended yet.
    const int last = Plugin::rules::frameWindowRange(current(), INT_MAX, frames, true).last;
    return last < int(held_.size());
}

std::vector<const kestrel::Frame*> CentredWindow::clip() const {
    std::vector<const kestrel::Frame*> frames;
    for (const kestrel::Frame& frame : held_) frames.push_back(&frame);
    return frames;
}

void CentredWindow::advance(int frames) {
    if (waiting() == 0) return;
    ++rendered_;
    // A later frame's window, pushed back by the run's end, starts at most frames - 1
    // before the next frame.
    const size_t kept = size_t(frames > 1 ? frames - 1 : 0);
    while (rendered_ > kept) {
        held_.pop_front();
        --rendered_;
    }
}

void CentredWindow::clear() {
    held_.clear();
    rendered_ = 0;
}

}  // namespace ruvovav::editor
