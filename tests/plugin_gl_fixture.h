// GPU tests of the plug-in's own passes, linked directly, on a real context of our host.
//
// The host (loaded as the editor would load it, for its table, images and context) lends
// images and vertex storage; the plug-in's registry is built by its own set-up code. Every
// test ends by checking that the host got back every image and buffer it lent, that no host
// or GL error happened, and that the state the host relies on is as it was. A machine
// without an OpenGL 4.1 context fails the test, naming what is missing.
#pragma once

#include "denoise/wavelet_filters.h"

#include <GL/glew.h>
#include <gtest/gtest.h>

#include <initializer_list>
#include <memory>
#include <vector>

#include "gl/effect_data.h"
#include "gl/host_call.h"
#include "host/host.h"

namespace test {

class PluginGlTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Starts (again) with a host of this frame size; the render context describes it.
    void startHost(int width, int height);

    kestrel::Host& host() { return *host_; }
    Plugin::EffectData& effect() { return *effect_; }
    Plugin::HostCall call() { return {host_->handle(), &host_->api()}; }
    // The wavelet the host's "method" choice names, as the render reads it.
    const Plugin::Wavelet& chosenWavelet();
    kestrel::ImagePool& images() { return host_->gl()->lentImages(); }
    // Vertex buffers the host made so far: one per draw of the plug-in.
    int drawsRecorded() { return host_->gl()->objects().buffersCreated(); }

    // An image from the plug-in's own image code, filled with `rgba` (4 floats per texel
    // over width x height, rows bottom up).
    HostImage makeFilledImage(int width, int height, const std::vector<float>& rgba,
                              GLenum format = GL_RGBA16F);
    // RGBA floats of the lower-left width x height texels of a lent image's level.
    std::vector<float> read(const HostImage& image, int level, int width, int height);
    std::vector<float> read(const HostImage& image) {
        return read(image, 0, image.width, image.height);
    }
    void release(const HostImage& image);
    void release(std::initializer_list<HostImage> images) {
        for (const HostImage& image : images) release(image);
    }

    // The GL program in use.
    GLuint currentProgram();
    // GL state as the passes promise it.
    void expectAttached(const HostImage& image, int level);
    void expectOnUnit0(const HostImage& image);
    // The host's destination attached and its source on unit 0, as the host left them.
    void expectHostBindings();

private:
    void stopHost();

    std::unique_ptr<kestrel::Host> host_;
    std::unique_ptr<Plugin::EffectData> effect_;
};

// Deterministic values in [lo, hi).
std::vector<float> randomRgba(int width, int height, unsigned seed, float lo, float hi);

}  // namespace test
