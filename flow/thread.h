// A minimal thread wrapper: start() runs the virtual run() on a new thread.
#pragma once

#include <atomic>
#include <memory>
#include <thread>

class Thread {
public:
    Thread() = default;
    Thread(const Thread&) = delete;
    Thread& operator=(const Thread&) = delete;
    // Destroying a still joinable thread terminates, as std::thread does.
    virtual ~Thread() = default;

    virtual void run() {}

    // Replaces any owned thread; one still joinable terminates the process.
    void start();
    // Joining from the owned thread itself throws std::system_error.
    void join();

    // Threads started through any Thread and whose run() has not yet returned.
    static int liveThreads() { return live_.load(); }

private:
    std::unique_ptr<std::thread> thread_;
    static std::atomic<int> live_;
};
