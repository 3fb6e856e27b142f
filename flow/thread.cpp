#include "flow/thread.h"

std::atomic<int> Thread::live_{0};

void Thread::start() {
    // Counted before the thread exists so a caller never sees a started thread missing.
    ++live_;
    try {
        thread_ = std::make_unique<std::thread>([this] {
            run();
            --live_;
        });
    } catch (...) {
        --live_;
        throw;
    }
}

void Thread::join() {
    if (thread_ && thread_->joinable()) thread_->join();
}
