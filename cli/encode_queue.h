// Encoding beside the render: rendered pictures wait in a short queue while a thread of
// their own encodes them, so the encoder's CPU work overlaps the next frame's render.
//
// The queue is bounded: a render that outruns the encoder waits instead of holding every
// frame in memory. An error the encoder throws reaches the render thread at its next push()
// or at close(), so a full disk still stops the job with its own message.
//
// Thread-safety: push() and close() from one producer thread; the sink runs on the queue's
// thread only.
#pragma once

#include <condition_variable>
#include <deque>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>

#include "cli/media/picture.h"

namespace ruvovav::cli {

class EncodeQueue {
public:
    using Sink = std::function<void(const media::Picture&)>;

    // Starts the thread; `capacity` pictures may wait at once (at least 1).
    EncodeQueue(Sink sink, size_t capacity);
    // Drains and joins if close() never ran; an error left then is dropped.
    ~EncodeQueue();
    EncodeQueue(const EncodeQueue&) = delete;
    EncodeQueue& operator=(const EncodeQueue&) = delete;

    // Queues a picture, waiting while the queue is full. Rethrows the encoder's error.
    void push(media::Picture picture);
    // Waits until every queued picture is encoded and the thread has ended. Rethrows the
    // encoder's error.
    void close();

    // Seconds the sink spent encoding, and the render thread spent waiting for room.
    double encodeSeconds() const;
    double waitSeconds() const { return waitSeconds_; }

private:
    void run();
    void rethrowError();

    Sink sink_;
    size_t capacity_;
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<media::Picture> queue_;
    bool closing_ = false;
    std::exception_ptr error_;
    double encodeSeconds_ = 0;
    double waitSeconds_ = 0;
    std::thread thread_;  // started last, in the constructor's body
};

}  // namespace ruvovav::cli
