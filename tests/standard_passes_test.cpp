// Host images, the quad, read-back and the standard copy passes, through the plug-in's own
// code on a real context of our host.
#include <GL/glew.h>
#include <gtest/gtest.h>

#include "gl/host_image.h"
#include "gl/pass_chain.h"
#include "gl/program_uniforms.h"
#include "gl/quad_draw.h"
#include "gl/read_back.h"
#include "gl/render_target.h"
#include "gl/standard_passes.h"
#include "shaders/standard_programs.h"
#include "tests/plugin_gl_fixture.h"

namespace {

using Plugin::PassChain;

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

float channel(const std::vector<float>& rgba, int width, int x, int y, int c) {
    return rgba[(size_t(y) * width + x) * 4 + c];
}

class StandardPasses : public test::PluginGlTest {
protected:
    // A pass of the test's own: adds 1 to every channel, so the number of passes that ran
    // can be read off the result.
    void SetUp() override {
        test::PluginGlTest::SetUp();
        effect().addLinkedProgram(Plugin::shaders::kStandardVertex, R"(#version 410
uniform sampler2D source;
in vec2 coordinate;
layout(location = 0) out vec4 fragColour;
void main() { fragColour = texture(source, coordinate) + vec4(1.0); }
)",
                                  false, "addOne", true);
    }
    void addOnePass(PassChain& chain) {
        effect().bindProgram("addOne");
        Plugin::setVertexMatrices(call());
        Plugin::drawQuad(call(), chain.quad());
        chain.advance();
    }
    void runPasses(PassChain& chain, int passes) {
        for (int i = 0; i < passes; ++i) addOnePass(chain);
        effect().releaseProgram();
    }
};

TEST_F(StandardPasses, PadImageMirrorsAboutTheRightAndTopEdges) {
    const HostImage src = makeFilledImage(1000, 600, coordinateImage(1000, 600));
    HostImage dst = Plugin::makeImage(call(), 1024, 608, GL_RGBA16F);
    Plugin::padImage(call(), src, dst, 0, 0, Plugin::kPadCopy);
    expectAttached(dst, 0);
    expectOnUnit0(src);
    EXPECT_EQ(currentProgram(), GLuint(effect().programId("copyPaddedImage")));
    const std::vector<float> out = read(dst);
    // Inside, a 1:1 copy; beyond the edge, column 1000 + k reads 999 - k and row 600 + k
    // reads 599 - k.
    for (int x : {0, 1, 500, 998, 999}) EXPECT_EQ(channel(out, 1024, x, 10, 0), float(x));
    for (int k = 0; k < 24; ++k) {
        EXPECT_EQ(channel(out, 1024, 1000 + k, 10, 0), float(999 - k)) << "column " << 1000 + k;
        EXPECT_EQ(channel(out, 1024, 1000 + k, 10, 1), 10.0f);
    }
    for (int k = 0; k < 8; ++k) {
        EXPECT_EQ(channel(out, 1024, 20, 600 + k, 1), float(599 - k)) << "row " << 600 + k;
    }
    EXPECT_EQ(channel(out, 1024, 1023, 607, 0), 976.0f);
    EXPECT_EQ(channel(out, 1024, 1023, 607, 1), 592.0f);
    release(src);
    release(dst);
}

TEST_F(StandardPasses, PadImageLogAndExpModesKeepAlpha) {
    std::vector<float> rgba = {1.0f, 2.0f, 4.0f, 0.5f, 8.0f, 0.5f, 0.25f, 0.75f};
    const HostImage src = makeFilledImage(2, 1, rgba);
    HostImage logged = Plugin::makeImage(call(), 2, 1, GL_RGBA16F);
    HostImage back = Plugin::makeImage(call(), 2, 1, GL_RGBA16F);
    Plugin::padImage(call(), src, logged, 0, 0, Plugin::kPadLog2);
    Plugin::padImage(call(), logged, back, 0, 0, Plugin::kPadExp2);
    const std::vector<float> l = read(logged);
    const std::vector<float> expected = {0.0f, 1.0f, 2.0f, 0.5f, 3.0f, -1.0f, -2.0f, 0.75f};
    for (size_t i = 0; i < l.size(); ++i) EXPECT_FLOAT_EQ(l[i], expected[i]) << i;
    EXPECT_EQ(read(back), rgba);
    for (const HostImage& image : {src, logged, back}) release(image);
}

TEST_F(StandardPasses, ChainOnOneTextureStartsOnTheScratchAndFinishCopiesOnlyWhenNeeded) {
    for (int passes = 0; passes <= 3; ++passes) {
        HostImage image = makeFilledImage(16, 8, std::vector<float>(16 * 8 * 4, 0.25f));
        const int lentBefore = images().totalLent();
        PassChain chain(call(), &image, &image, false);
        EXPECT_EQ(images().totalLent(), lentBefore + 1) << "one scratch image";
        EXPECT_FALSE(chain.targetIsOutput());
        expectAttached(chain.scratch(), 0);
        expectOnUnit0(image);

        runPasses(chain, passes);
        const int drawsBefore = drawsRecorded();
        chain.finish();
        // An odd count left the result in the scratch, which finish copies back.
        EXPECT_EQ(drawsRecorded() - drawsBefore, passes % 2) << passes << " passes";
        expectAttached(image, 0);
        expectOnUnit0(image);
        EXPECT_EQ(images().outstanding(), 1) << "the scratch went back";
        EXPECT_EQ(read(image), std::vector<float>(16 * 8 * 4, 0.25f + float(passes)));
        release(image);
    }
}

TEST_F(StandardPasses, ChainIntoAnotherImageEndsInTheOutputForEveryPassCount) {
    for (int passes = 0; passes <= 3; ++passes) {
        HostImage input = makeFilledImage(8, 8, std::vector<float>(8 * 8 * 4, 0.5f));
        HostImage output = Plugin::makeImage(call(), 8, 8, GL_RGBA16F);
        PassChain chain(call(), &input, &output, false);
        EXPECT_TRUE(chain.targetIsOutput());
        expectAttached(output, 0);
        runPasses(chain, passes);
        const int drawsBefore = drawsRecorded();
        chain.finish();
        EXPECT_EQ(drawsRecorded() - drawsBefore, passes % 2 == 0 ? 1 : 0) << passes << " passes";
        expectAttached(output, 0);
        expectOnUnit0(input);
        EXPECT_EQ(read(output), std::vector<float>(8 * 8 * 4, 0.5f + float(passes)));
        EXPECT_EQ(read(input), std::vector<float>(8 * 8 * 4, 0.5f)) << "input untouched";
        release(input);
        release(output);
    }
}

TEST_F(StandardPasses, FinishWithPadCopiesByMirrorPaddingAtEqualSizes) {
    const std::vector<float> start = coordinateImage(12, 6);
    HostImage input = makeFilledImage(12, 6, start);
    HostImage output = Plugin::makeImage(call(), 12, 6, GL_RGBA16F);
    HostImage destination = Plugin::makeImage(call(), 12, 6, GL_RGBA16F);
    PassChain chain(call(), &input, &output, false);
    const int drawsBefore = drawsRecorded();
    chain.finish(&destination, 0, true);
    EXPECT_EQ(drawsRecorded() - drawsBefore, 1);
    // The padding program is left bound; the plain copy would have released its program.
    EXPECT_EQ(currentProgram(), GLuint(effect().programId("copyPaddedImage")));
    expectOnUnit0(input);
    EXPECT_EQ(read(destination), start);
    glUseProgram(0);
    for (const HostImage& image : {input, output, destination}) release(image);
}

TEST_F(StandardPasses, ChainWithABorrowedInputNeverReleasesIt) {
    HostImage input = makeFilledImage(8, 4, std::vector<float>(8 * 4 * 4, 1.0f));
    HostImage output = Plugin::makeImage(call(), 8, 4, GL_RGBA16F);
    const int lentBefore = images().totalLent();
    const int returnedBefore = images().totalReturned();
    {
        PassChain chain(call(), &input, &output, true);
        EXPECT_EQ(chain.scratch().texture, input.texture);
        runPasses(chain, 2);  // the second pass draws into the input itself
        chain.finish();
    }
    EXPECT_EQ(images().totalLent(), lentBefore) << "no scratch was made";
    EXPECT_EQ(images().totalReturned(), returnedBefore) << "nothing was given back";
    EXPECT_TRUE(images().isLent(input.texture));
    EXPECT_EQ(read(output), std::vector<float>(8 * 4 * 4, 3.0f));
    release(input);
    release(output);
}

TEST_F(StandardPasses, CopyPassesRestoreTheHostBindings) {
    HostImage mipmapped = Plugin::makeImageLike(call(), 16, 16, true, 1);
    ASSERT_TRUE(images().upload(mipmapped.texture, 1, 8, 8, coordinateImage(8, 8).data()));
    HostImage level = Plugin::makeImage(call(), 8, 8, GL_RGBA16F);
    HostImage copy = Plugin::makeImage(call(), 8, 8, GL_RGBA16F);
    Plugin::copyImageLevel(call(), mipmapped, level, 1, 0);
    expectHostBindings();
    EXPECT_EQ(effect().currentProgramIndex(), -1);
    Plugin::copyImage(call(), level, copy);
    expectHostBindings();
    EXPECT_EQ(read(level), coordinateImage(8, 8));
    EXPECT_EQ(read(copy), coordinateImage(8, 8));
    for (const HostImage& image : {mipmapped, level, copy}) release(image);
}

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
    Plugin::TextureDataV3 rgb;
    Plugin::readImageRGB(rgb, image, 19, 9, 1, 1);
    EXPECT_EQ(rgb.at(0, 0).z, 28.0f);
    release(image);
}

TEST_F(StandardPasses, ImagesCarryTheirExtentsAndALeaseGivesThemBack) {
    startHost(48, 32);
    {
        Plugin::HostImageLease lease(call(), Plugin::makeImage(call(), 30, 20, GL_RGBA16F));
        EXPECT_EQ(lease->width, 30);
        EXPECT_EQ(lease->internalFormat, GLuint(GL_RGBA16F));
        EXPECT_FLOAT_EQ(lease->uMax, 30.0f / float(lease->textureWidth));
        EXPECT_FLOAT_EQ(lease->vMax, 20.0f / float(lease->textureHeight));
        EXPECT_EQ(images().outstanding(), 1);
    }
    EXPECT_EQ(images().outstanding(), 0);
    // A template of 8-bit RGBA is widened to half float for signed data; the record keeps
    // the template's format.
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

}  // namespace
