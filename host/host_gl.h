// The GL side of one effect instance in our host: the context, the images it lends, the
// clip, and the framing of every module call (destination bound for drawing, source on
// unit 0, and a check afterwards that the module put that state back).
//
// Thread-safety: none; everything runs on the host's thread with this context current.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "host/clip_frames.h"
#include "host/egl_context.h"
#include "host/gl_buffers.h"
#include "host/gl_images.h"
#include "host/gl_state.h"
#include "plugin/host_api.h"

namespace kestrel {

struct GlOptions {
    GlBackend backend = GlBackend::Automatic;
    TexturePadding padding = TexturePadding::None;  // for every texture the host makes
    int width = 64;                                 // frame size while no clip is set
    int height = 64;
};

class HostGl {
public:
    explicit HostGl(const GlOptions& options);
    ~HostGl();
    HostGl(const HostGl&) = delete;
    HostGl& operator=(const HostGl&) = delete;

    // Sets the clip; the frame size becomes the first frame's. Throws on an empty clip or
    // frames of different sizes.
    void setClip(std::vector<Frame> frames);
    // A streamed clip of `frameCount` frames of width x height (see ClipFrames::setSource).
    void setClipSource(int width, int height, int frameCount, ClipFrames::FrameSource source);
    // Uploads the clip's frame into the host's source image (zeros without a clip). Throws
    // std::out_of_range when a streamed clip cannot give the frame.
    void loadSourceFrame(int frameIndex);
    // Points the render context at the host's images and matrices.
    void describeTo(RenderContext& context);

    // Around each module call. endCall also deletes the vertex arrays made during the call.
    void beginCall();
    void endCall();
    // What the last call left different from the state the host relies on (empty: fine).
    const std::vector<std::string>& lastStateDifferences() const { return lastDiff_; }

    std::vector<float> readDestination() const;

    EglContext& context() { return context_; }
    ImagePool& lentImages() { return lent_; }
    GlObjects& objects() { return objects_; }
    ClipFrames& clip() { return clip_; }
    HostImage& templateImage() { return templateImage_; }
    int width() const { return width_; }
    int height() const { return height_; }

private:
    void allocateFrameImages();

    EglContext context_;  // first member: destroyed last, after every GL object
    TexturePadding padding_;
    ImagePool own_;   // the host's source and destination images
    ImagePool lent_;  // images lent to the module
    GlObjects objects_;
    ClipFrames clip_;
    Framebuffer framebuffer_;
    int width_;
    int height_;
    HostImage source_{};
    HostImage destination_{};
    HostImage templateImage_{};
    std::array<float, 16> projection_{};
    std::array<float, 16> modelView_{};
    HostGlState expected_{};
    std::vector<std::string> lastDiff_;
};

// Column-major orthographic projection mapping (0..width, 0..height) onto clip space.
std::array<float, 16> orthographicProjection(int width, int height);

}  // namespace kestrel
