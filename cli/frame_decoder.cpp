#include "cli/frame_decoder.h"

#include <chrono>

#include "cli/host_frames.h"

namespace ruvovav::cli {

FrameDecoder::FrameDecoder(std::shared_ptr<media::MediaReader> reader, int frameCount, int ahead)
    : reader_(std::move(reader)), frameCount_(frameCount), ahead_(std::max(ahead, 0)) {
    thread_ = std::thread([this] { run(); });
}

FrameDecoder::~FrameDecoder() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    changed_.notify_all();
    thread_.join();
}

bool FrameDecoder::hasWork() const {
    return !failure_ && next_ < frameCount_ && next_ <= wanted_ + ahead_;
}

void FrameDecoder::seekTo(int index) {
    ready_.clear();
    failure_.reset();
    next_ = index;
    ++generation_;
}

std::optional<DecodedFrame> FrameDecoder::take(int index, std::string& error) {
    if (index < 0 || index >= frameCount_) {
        error = "frame " + std::to_string(index) + " is missing from the input";
        return std::nullopt;
    }
    std::unique_lock lock(mutex_);
    wanted_ = std::max(wanted_, index);
    // Behind the decoder, further ahead than reading on should go, or past a frame that
    // failed: the decoder starts again there, and the reader seeks if it must.
    const bool onTheWay = index >= next_ && index <= next_ + ahead_ && !failure_;
    if (!ready_.contains(index) && !onTheWay && !(failure_ && failure_->first == index)) {
        seekTo(index);
        wanted_ = index;
    }
    changed_.notify_all();
    changed_.wait(lock, [&] {
        return ready_.contains(index) || (failure_ && failure_->first <= index) || next_ > index;
    });
    if (const auto found = ready_.find(index); found != ready_.end()) {
        DecodedFrame frame = std::move(found->second);
        ready_.erase(ready_.begin(), std::next(found));
        return frame;
    }
    error = failure_ && failure_->first == index
                ? failure_->second
                : "frame " + std::to_string(index) + " is missing from the input";
    return std::nullopt;
}

double FrameDecoder::decodeSeconds() const {
    std::lock_guard lock(mutex_);
    return decodeSeconds_;
}

void FrameDecoder::run() {
    std::unique_lock lock(mutex_);
    for (;;) {
        changed_.wait(lock, [this] { return stopping_ || hasWork(); });
        if (stopping_) return;
        const int index = next_;
        const int generation = generation_;
        lock.unlock();
        const auto start = std::chrono::steady_clock::now();
        std::optional<DecodedFrame> decoded;
        std::string failure;
        try {
            media::Picture picture;
            if (reader_->read(index, picture))
                decoded = DecodedFrame{hostFrameOf(picture), picture.time};
            else
                failure = "frame " + std::to_string(index) + " is missing from the input";
        } catch (const media::MediaError& e) {
            failure = e.what();
        }
        lock.lock();
        decodeSeconds_ +=
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        if (generation != generation_) continue;  // a seek came while reading
        if (decoded)
            ready_.emplace(index, std::move(*decoded));
        else
            failure_.emplace(index, std::move(failure));
        next_ = index + 1;
        changed_.notify_all();
    }
}

}  // namespace ruvovav::cli
