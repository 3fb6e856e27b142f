#include "host/host_gl.h"

#include <GL/glew.h>

#include <stdexcept>

namespace kestrel {
namespace {

// The host keeps its frames in 32-bit float so that what a test uploads is exactly what
// the effect reads.
constexpr uint32_t kFrameFormat = GL_RGBA32F;

// Effects may leave viewport, blending or the current program as they like; what the
// editor itself depends on is its framebuffer, the destination on it, the source, and the
// scissor test off (its own draws cover whole frames).
HostGlState reliedOnPart(const HostGlState& state) {
    HostGlState part;
    part.drawFramebuffer = state.drawFramebuffer;
    part.colorAttachment0 = state.colorAttachment0;
    part.textureUnit0 = state.textureUnit0;
    part.scissorTest = state.scissorTest;
    return part;
}

std::array<float, 16> identity() {
    std::array<float, 16> m{};
    m[0] = m[5] = m[10] = m[15] = 1.0f;
    return m;
}

}  // namespace

std::array<float, 16> orthographicProjection(int width, int height) {
    std::array<float, 16> m{};
    m[0] = 2.0f / float(width);
    m[5] = 2.0f / float(height);
    m[10] = -1.0f;
    m[12] = -1.0f;
    m[13] = -1.0f;
    m[15] = 1.0f;
    return m;
}

HostGl::HostGl(const GlOptions& options)
    : context_(options.backend),
      padding_(options.padding),
      own_(options.padding),
      lent_(options.padding),
      width_(options.width),
      height_(options.height),
      modelView_(identity()) {
    allocateFrameImages();
    loadSourceFrame(0);
}

HostGl::~HostGl() {
    context_.makeCurrent();
}

void HostGl::allocateFrameImages() {
    if (source_.texture != 0) own_.release(source_.texture);
    if (destination_.texture != 0) own_.release(destination_.texture);
    for (HostImage* image : {&source_, &destination_}) {
        const uint32_t texture =
            own_.create(width_, height_, kFrameFormat, GL_RGBA, GL_FLOAT, 0, nullptr, nullptr);
        if (texture == 0) throw std::runtime_error("host: cannot make a frame image");
        own_.describe(texture, image);
    }
    templateImage_ = destination_;
    projection_ = orthographicProjection(width_, height_);
}

void HostGl::setClip(std::vector<Frame> frames) {
    if (frames.empty()) throw std::invalid_argument("host: a clip needs at least one frame");
    for (const Frame& f : frames) {
        if (f.width != frames[0].width || f.height != frames[0].height) {
            throw std::invalid_argument("host: every frame of a clip must have one size");
        }
    }
    width_ = frames[0].width;
    height_ = frames[0].height;
    clip_.setFrames(std::move(frames));
    context_.makeCurrent();
    allocateFrameImages();
    loadSourceFrame(0);
}

void HostGl::setClipSource(int width, int height, int frameCount, ClipFrames::FrameSource source) {
    if (width <= 0 || height <= 0 || frameCount <= 0) {
        throw std::invalid_argument("host: a clip needs a size and at least one frame");
    }
    width_ = width;
    height_ = height;
    clip_.setSource(frameCount, std::move(source));
    context_.makeCurrent();
    // Nothing is decoded until a frame is rendered: a chunk of a long clip starts far in.
    allocateFrameImages();
}

void HostGl::loadSourceFrame(int frameIndex) {
    context_.makeCurrent();
    std::vector<float> zeros;
    const float* pixels = nullptr;
    if (frameIndex >= 0 && frameIndex < clip_.frameCount()) {
        pixels = clip_.frame(frameIndex).rgba.data();
    } else {
        zeros.assign(size_t(4) * width_ * height_, 0.0f);
        pixels = zeros.data();
    }
    own_.upload(source_.texture, 0, width_, height_, pixels);
}

void HostGl::describeTo(RenderContext& rc) {
    rc.valid = 1;
    rc.source = &source_;
    rc.destination = &destination_;
    rc.templateImage = &templateImage_;
    rc.projection = projection_.data();
    rc.modelView = modelView_.data();
    rc.width = width_;
    rc.height = height_;
    rc.frameCount = clip_.frameCount();
}

// The editor hands every call a context with its destination ready for drawing and the
// source on the first texture unit; it relies on finding them so afterwards.
void HostGl::beginCall() {
    context_.makeCurrent();
    framebuffer_.attach(destination_.texture);
    glViewport(0, 0, width_, height_);
    glActiveTexture(GL_TEXTURE0);
    glBindTexture(GL_TEXTURE_2D, source_.texture);
    glUseProgram(0);
    glDisable(GL_BLEND);
    glDisable(GL_SCISSOR_TEST);
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    expected_ = reliedOnPart(captureHostGlState());
}

void HostGl::endCall() {
    context_.makeCurrent();
    // The interface has no call that deletes a vertex array and an effect makes one per
    // draw, so the host reclaims them when the call returns, as the editor does.
    objects_.deleteVertexArrays();
    lastDiff_ = diffHostGlState(expected_, reliedOnPart(captureHostGlState()));
}

std::vector<float> HostGl::readDestination() const {
    context_.makeCurrent();
    return own_.readBack(destination_.texture, 0, width_, height_);
}

}  // namespace kestrel
