// The host's image, frame, progress and buffer operations, called through the table at
// their offsets exactly as the module calls them.
#include <GL/glew.h>
#include <gtest/gtest.h>

#include <cstring>

#include "host/host.h"
#include "module_fixture.h"

namespace {

using kestrel::Frame;
using kestrel::GlOptions;
using kestrel::Host;
using kestrel::TexturePadding;

// Calls through raw offsets, so a table filled at the wrong place cannot pass.
template <typename Fn>
Fn at(Host& host, size_t offset) {
    Fn fn;
    std::memcpy(&fn, reinterpret_cast<const uint8_t*>(&host.api()) + offset, sizeof fn);
    return fn;
}

GLint levelWidth(GLuint texture, int level) {
    GLint width = 0;
    glBindTexture(GL_TEXTURE_2D, texture);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, level, GL_TEXTURE_WIDTH, &width);
    glBindTexture(GL_TEXTURE_2D, 0);
    return width;
}

TEST(HostTableGl, CreateImageFormatsMipsPaddingAndAccounting) {
    Host host(testing_support::loadedModule(), GlOptions{.padding = TexturePadding::Multiple16});
    auto create = at<CreateImageFn>(host, 0xf8);
    auto release = at<ReleaseImageFn>(host, 0x120);
    const RenderContext* rc = &host.renderContext();
    for (uint32_t format : {GL_RGBA, GL_RGBA16F, GL_RGBA32F}) {
        for (int flag : {0, 1}) {
            int32_t tw = 0, th = 0;
            const uint32_t texture =
                create(host.handle(), rc, 20, 9, format, GL_RGBA, GL_FLOAT, 0, 0, &tw, &th, flag);
            ASSERT_NE(texture, 0u);
            EXPECT_EQ(tw, 32);  // 20 rounded up to a multiple of 16
            EXPECT_EQ(th, 16);
            host.gl()->context().makeCurrent();
            EXPECT_EQ(levelWidth(texture, 0), 32);
            // A chain runs 32, 16, 8, 4, 2, 1; without one, level 1 does not exist.
            EXPECT_EQ(levelWidth(texture, 5), flag == 1 ? 1 : 0);
            EXPECT_EQ(host.gl()->lentImages().outstanding(), 1);
            release(host.handle(), rc, texture);
            EXPECT_EQ(host.gl()->lentImages().outstanding(), 0);
        }
    }
    // Six shapes were asked for once each; asking again reuses the pooled textures.
    const int created = host.gl()->lentImages().texturesCreated();
    const uint32_t again =
        create(host.handle(), rc, 20, 9, GL_RGBA16F, GL_RGBA, GL_FLOAT, 0, 0, nullptr, nullptr, 1);
    EXPECT_EQ(host.gl()->lentImages().texturesCreated(), created);
    release(host.handle(), rc, again);

    EXPECT_EQ(host.hostErrors(), 0);
    release(host.handle(), rc, 987654);  // never lent
    release(host.handle(), rc, again);   // already returned
    EXPECT_EQ(host.hostErrors(), 2);
}

TEST(HostTableGl, SourceFramesWithInjectedFailure) {
    Host host(testing_support::loadedModule(), GlOptions{});
    std::vector<Frame> frames;
    for (int i = 0; i < 3; ++i) {
        frames.push_back({4, 2, std::vector<float>(4 * 4 * 2, float(i) + 0.25f)});
    }
    host.gl()->setClip(frames);
    host.gl()->clip().injectFailure(1);
    auto fetch = at<GetSourceFrameFn>(host, 0x118);
    auto release = at<ReleaseImageFn>(host, 0x120);
    const RenderContext* rc = &host.renderContext();

    HostImage image{};
    ASSERT_EQ(fetch(host.handle(), rc, 2, &image), 0);
    EXPECT_EQ(image.width, 4);
    EXPECT_EQ(image.height, 2);
    EXPECT_FLOAT_EQ(image.uMax, 4.0f / float(image.textureWidth));
    const std::vector<float> pixels = host.gl()->lentImages().readBack(image.texture, 0, 4, 2);
    ASSERT_EQ(pixels.size(), 32u);
    for (float v : pixels) ASSERT_EQ(v, 2.25f);
    release(host.handle(), rc, image.texture);

    EXPECT_NE(fetch(host.handle(), rc, 1, &image), 0);   // injected
    EXPECT_NE(fetch(host.handle(), rc, 3, &image), 0);   // past the end
    EXPECT_NE(fetch(host.handle(), rc, -1, &image), 0);  // before the start
    EXPECT_EQ(host.gl()->lentImages().outstanding(), 0);
}

TEST(HostTableGl, ProgressCanAskForAStop) {
    Host host(testing_support::loadedModule());
    auto report = at<ReportProgressFn>(host, 0x178);
    host.askStopAtProgressReport(3);
    EXPECT_EQ(report(host.handle(), 1, 10), 0);
    EXPECT_EQ(report(host.handle(), 2, 10), 0);
    EXPECT_NE(report(host.handle(), 3, 10), 0);
    EXPECT_NE(report(host.handle(), 4, 10), 0);
    ASSERT_EQ(host.progressReports().size(), 4u);
    EXPECT_EQ(host.progressReports()[2], (std::pair<int32_t, int32_t>{3, 10}));
}

TEST(HostTableGl, BuffersAndVertexArraysAreRealAndAccounted) {
    Host host(testing_support::loadedModule(), GlOptions{});
    const float quad[8] = {0, 0, 1, 0, 0, 1, 1, 1};
    void* mapped = nullptr;
    const uint32_t vao = at<CreateVertexArrayFn>(host, 0x4a0)(host.handle());
    const uint32_t buffer = at<CreateBufferFn>(host, 0x4a8)(
        host.handle(), GL_ARRAY_BUFFER, sizeof quad, quad, GL_STATIC_DRAW, &mapped, 0);
    host.gl()->context().makeCurrent();
    EXPECT_EQ(glIsVertexArray(vao), GL_TRUE);
    EXPECT_EQ(glIsBuffer(buffer), GL_TRUE);
    ASSERT_NE(mapped, nullptr);
    EXPECT_EQ(std::memcmp(mapped, quad, sizeof quad), 0);
    EXPECT_EQ(host.gl()->objects().buffersOutstanding(), 1);
    at<DeleteBufferFn>(host, 0x4b0)(host.handle(), buffer);
    EXPECT_EQ(host.gl()->objects().buffersOutstanding(), 0);
    EXPECT_EQ(glIsBuffer(buffer), GL_FALSE);
    at<DeleteBufferFn>(host, 0x4b0)(host.handle(), buffer);
    EXPECT_EQ(host.hostErrors(), 1);
}

TEST(HostTableGl, ImageRequestsWithoutGlAreCountedNotFatal) {
    Host host(testing_support::loadedModule());
    int32_t tw = -1, th = -1;
    EXPECT_EQ(at<CreateImageFn>(host, 0xf8)(host.handle(), &host.renderContext(), 8, 8, GL_RGBA16F,
                                            GL_RGBA, GL_FLOAT, 0, 0, &tw, &th, 0),
              0u);
    HostImage image{};
    EXPECT_NE(at<GetSourceFrameFn>(host, 0x118)(host.handle(), &host.renderContext(), 0, &image),
              0);
    EXPECT_EQ(host.hostErrors(), 2);
}

}  // namespace
