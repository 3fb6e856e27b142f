#include "tests/plugin_gl_fixture.h"

#include <random>

#include "gl/gpu_setup.h"
#include "gl/host_image.h"
#include "gl/render_target.h"
#include "module_fixture.h"
#include "params/declare_parameters.h"
#include "render/program_table.h"

namespace test {

void PluginGlTest::SetUp() {
    startHost(64, 64);
}

void PluginGlTest::startHost(int width, int height) {
    stopHost();
    try {
        host_ = std::make_unique<kestrel::Host>(
            testing_support::loadedModule(), kestrel::GlOptions{.width = width, .height = height});
    } catch (const std::exception& e) {
        FAIL() << "no OpenGL 4.1 core context for the host: " << e.what();
    }
    effect_ = std::make_unique<Plugin::EffectData>();
    host_->api().instanceData = effect_.get();
    host_->gl()->describeTo(host_->renderContext());
    host_->gl()->beginCall();
    Plugin::declareParameters(host_->handle(), &host_->api());
    Plugin::initialiseGlEntryPoints();
    Plugin::setUpGpu(host_->handle(), &host_->api(), Plugin::programTable());
}

void PluginGlTest::stopHost() {
    if (!host_) return;
    // What a render would do last: the host's own bindings back in place.
    Plugin::restoreHostBindings(call());
    host_->gl()->endCall();
    for (const std::string& line : host_->gl()->lastStateDifferences()) ADD_FAILURE() << line;
    EXPECT_EQ(images().outstanding(), 0) << "images lent and not given back";
    EXPECT_EQ(host_->gl()->objects().buffersOutstanding(), 0) << "vertex buffers not deleted";
    EXPECT_EQ(host_->gl()->objects().vertexArraysOutstanding(), 0) << "reclaimed by the host";
    EXPECT_EQ(host_->hostErrors(), 0);
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
    glUseProgram(0);
    effect_.reset();
    host_->api().instanceData = nullptr;  // the instance was ours, not the module's
    host_.reset();
}

void PluginGlTest::TearDown() {
    stopHost();
}

HostImage PluginGlTest::makeFilledImage(int width, int height, const std::vector<float>& rgba,
                                        GLenum format) {
    HostImage image = Plugin::makeImage(call(), width, height, format);
    EXPECT_TRUE(images().upload(image.texture, 0, width, height, rgba.data()));
    return image;
}

std::vector<float> PluginGlTest::read(const HostImage& image, int level, int width, int height) {
    return images().readBack(image.texture, level, width, height);
}

void PluginGlTest::release(const HostImage& image) {
    call().api->ReleaseImage(call().host, call().renderContext(), image.texture);
}

const Plugin::Wavelet& PluginGlTest::chosenWavelet() {
    return Plugin::waveletForMethod(
        call().api->GetChoiceParameter(call().host, "method", call().renderContext()->time));
}

GLuint PluginGlTest::currentProgram() {
    GLint program = 0;
    glGetIntegerv(GL_CURRENT_PROGRAM, &program);
    return GLuint(program);
}

void PluginGlTest::expectAttached(const HostImage& image, int level) {
    GLint name = 0;
    GLint attachedLevel = -1;
    glGetFramebufferAttachmentParameteriv(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0,
                                          GL_FRAMEBUFFER_ATTACHMENT_OBJECT_NAME, &name);
    glGetFramebufferAttachmentParameteriv(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0,
                                          GL_FRAMEBUFFER_ATTACHMENT_TEXTURE_LEVEL, &attachedLevel);
    EXPECT_EQ(GLuint(name), image.texture) << "colour attachment 0";
    EXPECT_EQ(attachedLevel, level) << "attached level";
    GLint viewport[4] = {};
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_EQ(viewport[2], image.width >> level) << "viewport width";
    EXPECT_EQ(viewport[3], image.height >> level) << "viewport height";
}

void PluginGlTest::expectOnUnit0(const HostImage& image) {
    GLint active = 0;
    GLint bound = 0;
    glGetIntegerv(GL_ACTIVE_TEXTURE, &active);
    glActiveTexture(GL_TEXTURE0);
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    glActiveTexture(GLenum(active));
    EXPECT_EQ(GLuint(bound), image.texture) << "texture on unit 0";
}

void PluginGlTest::expectHostBindings() {
    expectAttached(*host_->renderContext().destination, 0);
    expectOnUnit0(*host_->renderContext().source);
}

std::vector<float> randomRgba(int width, int height, unsigned seed, float lo, float hi) {
    std::mt19937 generator(seed);
    std::uniform_real_distribution<float> value(lo, hi);
    std::vector<float> rgba(size_t(4) * size_t(width) * size_t(height));
    for (float& v : rgba) v = value(generator);
    return rgba;
}

}  // namespace test
