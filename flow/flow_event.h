// A small operating-system style event on a mutex and a condition variable.
#pragma once

#include <condition_variable>
#include <mutex>

namespace Plugin {

class FlowEvent {
public:
    enum class Reset { Manual, Auto };

    explicit FlowEvent(Reset mode = Reset::Manual) : mode_(mode) {}
    FlowEvent(const FlowEvent&) = delete;
    FlowEvent& operator=(const FlowEvent&) = delete;

    void set();
    void reset();
    // Blocks until signalled. An auto-reset event is unsignalled again by the wait that
    // observed it, so each set releases exactly one wait.
    void wait();

private:
    std::mutex mutex_;
    std::condition_variable signalled_;
    bool state_ = false;
    Reset mode_;
};

}  // namespace Plugin
