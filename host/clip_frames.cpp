#include "host/clip_frames.h"

#include <GL/glew.h>

#include <stdexcept>
#include <string>

namespace kestrel {

void ClipFrames::setFrames(std::vector<Frame> frames) {
    for (size_t i = 0; i < frames.size(); ++i) {
        const Frame& f = frames[i];
        const bool sized = f.width > 0 && f.height > 0 &&
                           f.rgba.size() == static_cast<size_t>(f.width) * f.height * 4;
        if (!sized) {
            throw std::invalid_argument("frame " + std::to_string(i) + " is " +
                                        std::to_string(f.width) + "x" + std::to_string(f.height) +
                                        " but holds " + std::to_string(f.rgba.size()) + " values");
        }
    }
    frames_ = std::move(frames);
    frameCount_ = static_cast<int>(frames_.size());
    source_ = nullptr;
}

void ClipFrames::setSource(int frameCount, FrameSource source) {
    frames_.clear();
    frameCount_ = frameCount;
    source_ = std::move(source);
}

const Frame& ClipFrames::frame(int frameIndex) const {
    if (frameIndex < 0 || frameIndex >= frameCount_) {
        throw std::out_of_range("frame " + std::to_string(frameIndex) + " is outside the clip");
    }
    if (!source_) return frames_[static_cast<size_t>(frameIndex)];
    const Frame* f = source_(frameIndex);
    if (f == nullptr) {
        throw std::out_of_range("frame " + std::to_string(frameIndex) + " is unavailable");
    }
    return *f;
}

void ClipFrames::injectFailure(int frameIndex) {
    failures_.insert(frameIndex);
}

int ClipFrames::fetch(ImagePool& pool, int frameIndex, HostImage* out) {
    requests_.push_back(frameIndex);
    if (out == nullptr) return kNoImage;
    *out = HostImage{};
    if (frameIndex < 0 || frameIndex >= frameCount()) return kOutOfRange;
    if (failures_.count(frameIndex) != 0) return kInjectedFailure;
    const Frame* streamed = source_ ? source_(frameIndex) : nullptr;
    if (source_ && streamed == nullptr) return kUnavailable;
    const Frame& f = streamed != nullptr ? *streamed : frames_[static_cast<size_t>(frameIndex)];
    const uint32_t texture =
        pool.create(f.width, f.height, GL_RGBA32F, GL_RGBA, GL_FLOAT, 0, nullptr, nullptr);
    if (texture == 0) return kNoImage;
    if (!pool.upload(texture, 0, f.width, f.height, f.rgba.data()) ||
        !pool.describe(texture, out)) {
        pool.release(texture);
        *out = HostImage{};
        return kNoImage;
    }
    return kFetched;
}

}  // namespace kestrel
