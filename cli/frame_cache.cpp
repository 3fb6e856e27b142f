#include "cli/frame_cache.h"

#include <algorithm>
#include <tuple>

namespace ruvovav::cli {

kestrel::Frame hostFrameOf(const media::Picture& picture) {
    kestrel::Frame frame{picture.width, picture.height, {}};
    frame.rgba.resize(picture.rgba.size());
    const size_t row = size_t(4) * size_t(picture.width);
    for (int y = 0; y < picture.height; ++y) {
        const float* in = &picture.rgba[size_t(y) * row];
        float* out = &frame.rgba[size_t(picture.height - 1 - y) * row];
        for (size_t i = 0; i < row; i += 4) {
            const float a = in[i + 3];
            out[i] = in[i] * a;
            out[i + 1] = in[i + 1] * a;
            out[i + 2] = in[i + 2] * a;
            out[i + 3] = a;
        }
    }
    return frame;
}

media::Picture pictureOf(const std::vector<float>& rgba, int width, int height) {
    media::Picture picture;
    picture.width = width;
    picture.height = height;
    picture.rgba.resize(rgba.size());
    const size_t row = size_t(4) * size_t(width);
    for (int y = 0; y < height; ++y) {
        const float* in = &rgba[size_t(height - 1 - y) * row];
        float* out = &picture.rgba[size_t(y) * row];
        for (size_t i = 0; i < row; i += 4) {
            const float a = in[i + 3];
            // Fully transparent pixels have no colour to recover.
            const float unpremultiply = a > 0.0f ? 1.0f / a : 0.0f;
            out[i] = in[i] * unpremultiply;
            out[i + 1] = in[i + 1] * unpremultiply;
            out[i + 2] = in[i + 2] * unpremultiply;
            out[i + 3] = a;
        }
    }
    return picture;
}

std::pair<int, int> renderWindow(int current, int frameCount, int windowFrames) {
    int first = std::max(0, current - (windowFrames - 1) / 2);
    int last = first + windowFrames - 1;
    if (last >= frameCount) {
        last = frameCount - 1;
        first = std::max(0, last - windowFrames + 1);
    }
    return {first, last};
}

FrameCache::FrameCache(media::MediaReader& reader, int frameCount, int windowFrames)
    : reader_(reader), frameCount_(frameCount), windowFrames_(windowFrames) {}

const kestrel::Frame* FrameCache::frame(int index) {
    if (const auto held = frames_.find(index); held != frames_.end()) return &held->second;
    try {
        media::Picture picture;
        if (!reader_.read(index, picture)) {
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
    std::tie(first_, last_) = renderWindow(current, frameCount_, windowFrames_);
    std::erase_if(frames_, [this](const auto& held) { return !inWindow(held.first); });
    for (int i = first_; i <= last_; ++i) {
        if (frame(i) == nullptr) return false;
    }
    return true;
}

}  // namespace ruvovav::cli
