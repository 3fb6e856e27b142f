#include "cli/frame_cache.h"

#include "cli/host_frames.h"
#include "params/effect_rules.h"

namespace ruvovav::cli {

FrameCache::FrameCache(std::shared_ptr<media::MediaReader> reader, int frameCount, int windowFrames)
    : reader_(std::move(reader)), frameCount_(frameCount), windowFrames_(windowFrames) {}

const kestrel::Frame* FrameCache::frame(int index) {
    if (const auto held = frames_.find(index); held != frames_.end()) return &held->second;
    try {
        media::Picture picture;
        if (!reader_->read(index, picture)) {
            error_ = "frame " + std::to_string(index) + " is missing from the input";
            return nullptr;
        }
        kestrel::Frame& stored = frames_[index] = hostFrameOf(picture);
        return &stored;
    } catch (const media::MediaError& e) {
        error_ = e.what();
        return nullptr;
    }
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
