#include "flow/flow_event.h"

namespace Plugin {

void FlowEvent::set() {
    {
        std::lock_guard lock(mutex_);
        state_ = true;
    }
    signalled_.notify_all();
}

void FlowEvent::reset() {
    std::lock_guard lock(mutex_);
    state_ = false;
}

void FlowEvent::wait() {
    std::unique_lock lock(mutex_);
    signalled_.wait(lock, [this] { return state_; });
    if (mode_ == Reset::Auto) state_ = false;
}

}  // namespace Plugin
