#include "cli/frame_cache.h"

#include "params/effect_rules.h"

namespace ruvovav::cli {

FrameCache::FrameCache(std::shared_ptr<media::MediaReader> reader, int frameCount, int windowFrames,
                       int readAhead)
    : decoder_(std::move(reader), frameCount, readAhead),
      frameCount_(frameCount),
      windowFrames_(windowFrames) {}

const kestrel::Frame* FrameCache::frame(int index) {
    if (const auto held = frames_.find(index); held != frames_.end()) return &held->second.frame;
    std::string why;
    std::optional<DecodedFrame> decoded = decoder_.take(index, why);
    if (!decoded) {
        error_ = why;
        return nullptr;
    }
    return &(frames_[index] = std::move(*decoded)).frame;
}

int64_t FrameCache::presentationTime(int index) const {
    const auto held = frames_.find(index);
    return held != frames_.end() ? held->second.time : media::Picture::kNoTime;
}

bool FrameCache::setCurrent(int current) {
    const Plugin::rules::WindowRange window =
        Plugin::rules::frameWindowRange(current, frameCount_, windowFrames_, true);
    first_ = window.first;
    last_ = window.last;
    std::erase_if(frames_, [this](const auto& held) { return !inWindow(held.first); });
    for (int i = first_; i <= last_; ++i) {
        if (frame(i) == nullptr) return false;
    }
    return true;
}

}  // namespace ruvovav::cli
