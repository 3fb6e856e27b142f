#include "cli/encode_queue.h"

#include <algorithm>
#include <chrono>

namespace ruvovav::cli {
namespace {

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

}  // namespace

EncodeQueue::EncodeQueue(Sink sink, size_t capacity)
    : sink_(std::move(sink)), capacity_(std::max<size_t>(capacity, 1)) {
    thread_ = std::thread([this] { run(); });
}

EncodeQueue::~EncodeQueue() {
    {
        std::lock_guard lock(mutex_);
        closing_ = true;
    }
    changed_.notify_all();
    if (thread_.joinable()) thread_.join();
}

void EncodeQueue::push(media::Picture picture) {
    const Clock::time_point start = Clock::now();
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return queue_.size() < capacity_ || error_; });
    waitSeconds_ += secondsSince(start);
    if (error_) std::rethrow_exception(error_);
    queue_.push_back(std::move(picture));
    lock.unlock();
    changed_.notify_all();
}

void EncodeQueue::close() {
    {
        std::lock_guard lock(mutex_);
        closing_ = true;
    }
    changed_.notify_all();
    if (thread_.joinable()) thread_.join();
    rethrowError();
}

double EncodeQueue::encodeSeconds() const {
    std::lock_guard lock(mutex_);
    return encodeSeconds_;
}

void EncodeQueue::rethrowError() {
    std::lock_guard lock(mutex_);
    if (error_) std::rethrow_exception(error_);
}

void EncodeQueue::run() {
    std::unique_lock lock(mutex_);
    while (true) {
        changed_.wait(lock, [this] { return !queue_.empty() || closing_; });
        if (queue_.empty()) return;  // closing, and nothing left
        media::Picture picture = std::move(queue_.front());
        queue_.pop_front();
        lock.unlock();
        changed_.notify_all();  // room for the producer
        const Clock::time_point start = Clock::now();
        std::exception_ptr failed;
        try {
            sink_(picture);
        } catch (...) {
            failed = std::current_exception();
        }
        lock.lock();
        encodeSeconds_ += secondsSince(start);
        if (failed) {
            // Nothing after a failed picture is encoded: the output is left as it failed.
            error_ = failed;
            queue_.clear();
            changed_.notify_all();
            return;
        }
    }
}

}  // namespace ruvovav::cli
