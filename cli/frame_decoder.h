// Decoding ahead of the render: a thread of its own reads the input's frames in ascending
// order and converts them to host frames, so decoding overlaps the render of earlier frames.
//
// It decodes at most `ahead` frames past the highest one asked for, so a render that is
// slower than the decoder holds a few frames, never the clip. Asking for a frame behind
// what was decoded (or far past it) moves the decoder there: a seek, as the reader does.
//
// Thread-safety: take() from one consumer thread. The reader is used by the decoder's thread
// only, from construction to destruction; its info() may still be read anywhere.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "cli/media/media_reader.h"
#include "host/clip_frames.h"

namespace ruvovav::cli {

struct DecodedFrame {
    kestrel::Frame frame;  // premultiplied, rows bottom up, as the host stores it
    int64_t time = 0;      // presentation time, in the input's time base
};

class FrameDecoder {
public:
    FrameDecoder(std::shared_ptr<media::MediaReader> reader, int frameCount, int ahead);
    // Stops after the frame in hand and joins.
    ~FrameDecoder();
    FrameDecoder(const FrameDecoder&) = delete;
    FrameDecoder& operator=(const FrameDecoder&) = delete;

    // Frame `index`, waiting until it is decoded; nullopt when it cannot be read, with the
    // reason in `error`. Frames decoded before `index` are dropped.
    std::optional<DecodedFrame> take(int index, std::string& error);

    // Seconds the thread spent reading and converting frames.
    double decodeSeconds() const;

private:
    void run();
    bool hasWork() const;
    // Sets where decoding goes on; the caller holds the lock.
    void seekTo(int index);

    std::shared_ptr<media::MediaReader> reader_;
    const int frameCount_;
    const int ahead_;
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::map<int, DecodedFrame> ready_;
    int next_ = 0;        // the next frame the thread decodes
    int wanted_ = 0;      // the highest frame asked for
    int generation_ = 0;  // advanced by each seek, so a frame read before one is dropped
    std::optional<std::pair<int, std::string>> failure_;  // the frame that failed, and why
    bool stopping_ = false;
    double decodeSeconds_ = 0;
    std::thread thread_;  // started last, in the constructor's body
};

}  // namespace ruvovav::cli
