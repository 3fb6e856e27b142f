// The frames of the clip an effect is applied to, as GetSourceFrame hands them out.
//
// Frames are premultiplied RGBA floats, rows bottom up (GL's order), so a frame uploads
// into a texture without flipping. Each fetch lends a fresh GL_RGBA32F image from the pool:
// 32-bit floats keep every value exactly as stored, so tests can compare what an effect
// read against the frame bit for bit. The effect must release the image it was lent.
#pragma once

#include <functional>
#include <set>
#include <vector>

#include "host/gl_images.h"
#include "plugin/host_api.h"

namespace kestrel {

struct Frame {
    int width = 0;
    int height = 0;
    std::vector<float> rgba;  // 4 * width * height values
};

class ClipFrames {
public:
    // Return codes of fetch(); every failure lends nothing and zeroes `out`.
    static constexpr int kFetched = 0;
    static constexpr int kOutOfRange = 1;
    static constexpr int kInjectedFailure = 2;
    static constexpr int kNoImage = 3;       // bad output pointer or the pool refused
    static constexpr int kUnavailable = 4;   // the frame source had nothing for the index
    static constexpr int kSourceFailed = 5;  // the frame source threw (the host's table says)

    // Frame i of a clip streamed from elsewhere (a decoder), or null when it cannot be had.
    // The frame must stay valid until the next call of the source.
    using FrameSource = std::function<const Frame*(int frameIndex)>;

    // Throws std::invalid_argument when a frame's size and pixel count disagree.
    void setFrames(std::vector<Frame> frames);
    // A clip of `frameCount` frames that are asked for one at a time, for clips too long
    // to hold in memory. Every frame must have the clip's size.
    void setSource(int frameCount, FrameSource source);
    // Makes every later fetch of this frame fail, as a missing or unreadable file would.
    void injectFailure(int frameIndex);
    void clearFailures() { failures_.clear(); }

    int frameCount() const { return frameCount_; }
    // Throws std::out_of_range for an index outside the clip or a frame the source lacks.
    const Frame& frame(int frameIndex) const;
    // Every index asked for, in order, failures included.
    const std::vector<int>& requests() const { return requests_; }

    int fetch(ImagePool& pool, int frameIndex, HostImage* out);

private:
    std::vector<Frame> frames_;
    FrameSource source_;
    int frameCount_ = 0;
    std::set<int> failures_;
    std::vector<int> requests_;
};

}  // namespace kestrel
