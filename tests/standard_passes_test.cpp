// Host images and read-back, through the plug-in's own code on a real context of our host.
// (Pass chains and the copy and mirror padding are checked through the passes that use them.)
#include <GL/glew.h>
#include <gtest/gtest.h>

#include "denoise/colour_conversion.h"
#include "gl/host_image.h"
#include "gl/pass_chain.h"
#include "gl/pass_profile.h"
#include "gl/program_uniforms.h"
#include "gl/quad_draw.h"
#include "gl/read_back.h"
#include "gl/render_target.h"
#include "gl/standard_passes.h"
#include "shaders/standard_programs.h"
#include "tests/plugin_gl_fixture.h"

namespace {

// Texel (x, y) holds (x, y, x + y, 1): every texel says where it came from, exactly, in
// half float for coordinates up to 2048.
std::vector<float> coordinateImage(int width, int height) {
    std::vector<float> rgba;
    rgba.reserve(size_t(4) * width * height);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            rgba.insert(rgba.end(), {float(x), float(y), float(x + y), 1.0f});
        }
    }
    return rgba;
}

using StandardPasses = test::PluginGlTest;

TEST_F(StandardPasses, ReadImageAtALevelReportsTheTexturesStride) {
    // A 1920 x 1080 picture in a 2048 x 1088 texture, as a host padding its textures lends it.
    HostImage image = Plugin::makeImageLike(call(), 2048, 1088, true, 1);
    image.width = 1920;
    image.height = 1080;
    Plugin::updateImageExtents(image);
    ASSERT_TRUE(images().upload(image.texture, 2, 512, 272, coordinateImage(512, 272).data()));
    const Plugin::TextureDataV3 level2 = Plugin::readImage(image, true, 2);
    EXPECT_EQ(level2.stride, 512);
    EXPECT_EQ(level2.width, 480);
    EXPECT_EQ(level2.height, 270);
    for (auto [x, y] : {std::pair{0, 0}, {479, 0}, {17, 269}, {511, 271}}) {
        EXPECT_EQ(level2.at(x, y).x, float(x));
        EXPECT_EQ(level2.at(x, y).y, float(y));
    }
    expectOnUnit0(image);
    release(image);
}

TEST_F(StandardPasses, ReadImageRegionLeavesTargetAndViewportAsTheyWere) {
    const std::vector<float> rgba = coordinateImage(20, 10);
    HostImage image = makeFilledImage(20, 10, rgba);
    Plugin::TextureDataV4 region;
    Plugin::readImageRGBA(region, image, 3, 2, 5, 4);
    ASSERT_EQ(region.width, 5);
    ASSERT_EQ(region.height, 4);
    for (int y = 0; y < 4; ++y) {
        for (int x = 0; x < 5; ++x) {
            EXPECT_EQ(region.at(x, y).x, float(3 + x));
            EXPECT_EQ(region.at(x, y).y, float(2 + y));
            EXPECT_EQ(region.at(x, y).w, 1.0f);
        }
    }
    expectAttached(*host().renderContext().destination, 0);
    expectOnUnit0(image);
    release(image);
}

// A template of 8-bit RGBA is widened to half float for signed data; the record keeps the
// template's format.
TEST_F(StandardPasses, AnEightBitTemplateIsWidenedToHalfFloat) {
    host().renderContext().destination->internalFormat = GL_RGBA;
    HostImage widened = Plugin::makeImageLike(call(), 10, 10, true, 0);
    EXPECT_EQ(widened.internalFormat, GLuint(GL_RGBA));
    EXPECT_EQ(widened.scaleX, host().renderContext().destination->scaleX);
    GLint allocated = 0;
    glBindTexture(GL_TEXTURE_2D, widened.texture);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_INTERNAL_FORMAT, &allocated);
    EXPECT_EQ(allocated, GL_RGBA16F);
    release(widened);
    host().renderContext().destination->internalFormat = GL_RGBA32F;
}

// The padded copy's log and exp modes, which no pass of the effect uses yet: base 2, alpha
// kept, and each the other's inverse.
TEST_F(StandardPasses, PadImageLogAndExpModesKeepAlpha) {
    const std::vector<float> rgba = {1.0f, 2.0f, 4.0f, 0.5f, 8.0f, 0.5f, 0.25f, 0.75f};
    const HostImage src = makeFilledImage(2, 1, rgba);
    const HostImage logged = Plugin::makeImage(call(), 2, 1, GL_RGBA16F);
    const HostImage back = Plugin::makeImage(call(), 2, 1, GL_RGBA16F);
    Plugin::padImage(call(), src, logged, 0, 0, Plugin::kPadLog2);
    Plugin::padImage(call(), logged, back, 0, 0, Plugin::kPadExp2);
    EXPECT_EQ(read(logged),
              (std::vector<float>{0.0f, 1.0f, 2.0f, 0.5f, 3.0f, -1.0f, -2.0f, 0.75f}));
    EXPECT_EQ(read(back), rgba);
    release({src, logged, back});
}

// A chain whose input is its output (no pass of the effect makes one) starts on the scratch
// and ends with the result in the image, whatever the number of passes.
TEST_F(StandardPasses, ChainOnOneImageStartsOnTheScratchAndEndsInTheImage) {
    effect().addLinkedProgram(Plugin::shaders::kStandardVertex, R"(#version 410
uniform sampler2D source;
in vec2 coordinate;
layout(location = 0) out vec4 fragColour;
void main() { fragColour = texture(source, coordinate) + vec4(1.0); }
)",
                              false, "addOne", true);
    for (int passes = 1; passes <= 2; ++passes) {
        HostImage image = makeFilledImage(16, 8, std::vector<float>(16 * 8 * 4, 0.25f));
        Plugin::PassChain chain(call(), &image, &image, false);
        EXPECT_FALSE(chain.targetIsOutput()) << "drawing into the image it reads";
        effect().bindProgram("addOne");
        for (int i = 0; i < passes; ++i) {
            Plugin::setVertexMatrices(call());
            Plugin::drawQuad(call(), chain.quad());
            chain.advance();
        }
        effect().releaseProgram();
        chain.finish();
        EXPECT_EQ(images().outstanding(), 1) << "the scratch went back";
        EXPECT_EQ(read(image), std::vector<float>(16 * 8 * 4, 0.25f + float(passes)));
        release(image);
    }
}

}  // namespace

// The pass profile counts each draw's fragments under the program in use, and under a
// caller's own fragment count times the draw without counting (queries cannot nest).
TEST_F(StandardPasses, PassProfileCountsFragmentsPerProgram) {
    Plugin::gl::PassProfile& profile = Plugin::gl::PassProfile::instance();
    const bool wasEnabled = profile.enabled();
    profile.setEnabled(true);
    profile.clear();
    HostImage source = makeFilledImage(16, 8, coordinateImage(16, 8));
    HostImage copy = Plugin::makeImage(call(), 16, 8, GL_RGBA16F);
    HostImage yuv = Plugin::makeImage(call(), 12, 6, GL_RGBA16F);
    Plugin::copyImage(call(), source, copy);
    Plugin::copyImage(call(), source, copy);
    Plugin::renderRGBToYUV(call(), source, yuv);
    GLuint outer = 0;
    glGenQueries(1, &outer);
    glBeginQuery(GL_SAMPLES_PASSED, outer);
    Plugin::renderRGBToYUV(call(), source, yuv);
    glEndQuery(GL_SAMPLES_PASSED);
    GLuint64 outerFragments = 0;
    glGetQueryObjectui64v(outer, GL_QUERY_RESULT, &outerFragments);
    glDeleteQueries(1, &outer);
    Plugin::restoreHostBindings(call());

    const auto totals = profile.totals();
    profile.clear();
    profile.setEnabled(wasEnabled);
    ASSERT_EQ(totals.size(), 2u);
    EXPECT_EQ(totals.at("glCopy").draws, 2);
    EXPECT_EQ(totals.at("glCopy").fragments, 2u * 16 * 8);
    EXPECT_EQ(totals.at("RGBToYUV").draws, 2);
    EXPECT_EQ(totals.at("RGBToYUV").fragments, 12u * 6) << "the second draw is not counted";
    EXPECT_EQ(outerFragments, 12u * 6) << "the caller's count still sees the draw";
    EXPECT_EQ(totals.at("glCopy").largeDraws, 0);
    release({source, copy, yuv});
}
