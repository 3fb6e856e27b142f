// The host's OpenGL side on a real context: llvmpipe where there is no GPU.
#include <GL/glew.h>

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <stdexcept>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "host/clip_frames.h"
#include "host/egl_context.h"
#include "host/gl_buffers.h"
#include "host/gl_images.h"
#include "host/gl_state.h"

namespace kestrel {
namespace {

// Sets RUVOVAV_GL for one scope (unsets it for nullptr) and puts the old value back.
struct EnvironmentOverride {
    std::optional<std::string> old;
    explicit EnvironmentOverride(const char* value) {
        if (const char* before = std::getenv("RUVOVAV_GL")) old = before;
        value != nullptr ? setenv("RUVOVAV_GL", value, 1) : unsetenv("RUVOVAV_GL");
    }
    ~EnvironmentOverride() { old ? setenv("RUVOVAV_GL", old->c_str(), 1) : unsetenv("RUVOVAV_GL"); }
};

// A GL test fails, naming what is missing, when no context can be made; it never skips.
class GlHostTest : public ::testing::Test {
protected:
    void SetUp() override {
        try {
            context_.emplace();
        } catch (const std::exception& error) {
            FAIL() << "no EGL/OpenGL 4.1 core context: " << error.what();
        }
    }
    void TearDown() override {
        if (context_) {
            EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
        }
    }

    std::optional<EglContext> context_;
};

// A parameter of level `level` of a texture, or of the texture itself for level -1.
GLint textureParameter(uint32_t texture, GLenum name, int level = -1) {
    GLint value = -1;
    glBindTexture(GL_TEXTURE_2D, texture);
    if (level < 0) glGetTexParameteriv(GL_TEXTURE_2D, name, &value);
    if (level >= 0) glGetTexLevelParameteriv(GL_TEXTURE_2D, level, name, &value);
    glBindTexture(GL_TEXTURE_2D, 0);
    return value;
}

std::vector<float> ramp(int width, int height, float start, float step) {
    std::vector<float> values(static_cast<size_t>(width) * height * 4);
    for (size_t i = 0; i < values.size(); ++i) values[i] = start + step * static_cast<float>(i);
    return values;
}

TEST(GlBackendTest, WordsAndEnvironment) {
    EXPECT_EQ(parseGlBackend("auto"), GlBackend::Automatic);
    EXPECT_EQ(parseGlBackend("software"), GlBackend::Software);
    EXPECT_EQ(parseGlBackend("hardware"), GlBackend::Hardware);
    for (const char* bad : {"", "Software", "gpu", "auto "}) {
        EXPECT_THROW(parseGlBackend(bad), std::invalid_argument) << "'" << bad << "'";
    }
    const std::pair<const char*, GlBackend> environment[] = {{nullptr, GlBackend::Automatic},
                                                             {"", GlBackend::Automatic},
                                                             {"hardware", GlBackend::Hardware}};
    for (const auto& [value, backend] : environment) {
        EnvironmentOverride set(value);
        EXPECT_EQ(glBackendFromEnvironment(), backend) << (value ? value : "unset");
    }
    EnvironmentOverride bad("vulkan");
    try {
        glBackendFromEnvironment();
        ADD_FAILURE() << "RUVOVAV_GL=vulkan was accepted";
    } catch (const std::invalid_argument& error) {
        EXPECT_NE(std::string(error.what()).find("RUVOVAV_GL"), std::string::npos) << error.what();
    }
}

TEST(EglContextTest, SoftwareContextIsCoreAndShareable) {
    EnvironmentOverride software("software");
    std::optional<EglContext> first;
    try {
        first.emplace();
    } catch (const std::exception& error) {
        FAIL() << "RUVOVAV_GL=software gave no context: " << error.what();
    }
    std::printf("renderer: %s | vendor: %s | version: %s | from %s\n", first->renderer().c_str(),
                first->vendor().c_str(), first->version().c_str(), first->origin().c_str());
    EXPECT_TRUE(first->isSoftware());
    EXPECT_TRUE(first->isCurrent());
    EXPECT_FALSE(first->renderer().empty());
    GLint major = 0, minor = 0, profile = 0;
    glGetIntegerv(GL_MAJOR_VERSION, &major);
    glGetIntegerv(GL_MINOR_VERSION, &minor);
    glGetIntegerv(GL_CONTEXT_PROFILE_MASK, &profile);
    EXPECT_GE(major * 10 + minor, 41);
    EXPECT_NE(profile & GL_CONTEXT_CORE_PROFILE_BIT, 0);

    // A second context on the same device shares its EGL display; ending it must not end
    // the display under the first.
    { EglContext second(GlBackend::Software); }
    EglContext moved(std::move(*first));
    EXPECT_FALSE(first->isCurrent());
    EXPECT_THROW(first->makeCurrent(), std::runtime_error);
    moved.makeCurrent();
    EXPECT_TRUE(moved.isCurrent());
    EXPECT_FALSE(moved.renderer().empty());
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST(EglContextTest, HardwareIsEitherRealOrRefusedByName) {
    try {
        EglContext hardware(GlBackend::Hardware);
        EXPECT_FALSE(hardware.isSoftware()) << hardware.renderer();
    } catch (const std::runtime_error& error) {
        EXPECT_NE(std::string(error.what()).find("hardware"), std::string::npos) << error.what();
    }
}

TEST_F(GlHostTest, InternalFormatsWithAndWithoutMipChain) {
    ImagePool pool;
    for (GLenum format : {GL_RGBA, GL_RGBA16F, GL_RGBA32F}) {
        for (int flag : {0, 1}) {
            SCOPED_TRACE(testing::Message()
                         << "format 0x" << std::hex << format << " flag " << flag);
            int tw = 0, th = 0;
            const uint32_t t = pool.create(12, 20, format, GL_RGBA, GL_FLOAT, flag, &tw, &th);
            ASSERT_NE(t, 0u);
            EXPECT_EQ(std::pair(tw, th), std::pair(12, 20));
            EXPECT_EQ(textureParameter(t, GL_TEXTURE_INTERNAL_FORMAT, 0),
                      static_cast<GLint>(format));
            const int levels = flag == 1 ? 5 : 1;
            EXPECT_EQ(textureParameter(t, GL_TEXTURE_MAX_LEVEL), levels - 1);
            EXPECT_EQ(textureParameter(t, GL_TEXTURE_MIN_FILTER),
                      flag == 1 ? GL_LINEAR_MIPMAP_LINEAR : GL_LINEAR);
            EXPECT_EQ(textureParameter(t, GL_TEXTURE_WRAP_S), GL_CLAMP_TO_EDGE);
            EXPECT_EQ(textureParameter(t, GL_TEXTURE_WRAP_T), GL_CLAMP_TO_EDGE);
            // 12 x 20 halves to 1 x 1 in five levels, the height deciding.
            EXPECT_EQ(textureParameter(t, GL_TEXTURE_HEIGHT, 4), flag == 1 ? 1 : 0);
            pool.release(t);
        }
    }
    EXPECT_EQ(pool.texturesCreated(), 6);
    EXPECT_EQ(pool.hostErrors(), 0);

    EXPECT_EQ(pool.create(8, 8, GL_RGB8, GL_RGB, GL_FLOAT, 0, nullptr, nullptr), 0u);
    EXPECT_EQ(pool.create(8, 8, GL_RGBA8, GL_RGBA, GL_UNSIGNED_BYTE, 0, nullptr, nullptr), 0u);
    EXPECT_EQ(pool.create(0, 8, GL_RGBA32F, GL_RGBA, GL_FLOAT, 0, nullptr, nullptr), 0u);
    EXPECT_EQ(pool.create(8, -1, GL_RGBA32F, GL_RGBA, GL_FLOAT, 0, nullptr, nullptr), 0u);
    EXPECT_EQ(pool.hostErrors(), 4);
    EXPECT_EQ(pool.texturesCreated(), 6);
    EXPECT_EQ(pool.outstanding(), 0);
}

TEST_F(GlHostTest, PaddingPoliciesSizeTexturesAndCoordinates) {
    struct Case {
        TexturePadding padding;
        int width, height, textureWidth, textureHeight;
        float uMax, vMax;
    };
    const Case cases[] = {
        {TexturePadding::None, 30, 17, 30, 17, 1.0f, 1.0f},
        {TexturePadding::Multiple16, 30, 17, 32, 32, 0.9375f, 0.53125f},
        {TexturePadding::PowerOfTwo, 30, 17, 32, 32, 0.9375f, 0.53125f},
        {TexturePadding::Multiple16, 33, 65, 48, 80, 0.6875f, 0.8125f},
        {TexturePadding::PowerOfTwo, 33, 65, 64, 128, 0.515625f, 0.5078125f},
        {TexturePadding::PowerOfTwo, 16, 1, 16, 1, 1.0f, 1.0f},
        {TexturePadding::Multiple16, 1, 16, 16, 16, 0.0625f, 1.0f},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << c.width << "x" << c.height << " policy " << static_cast<int>(c.padding));
        ImagePool pool(c.padding);
        int tw = 0, th = 0;
        const uint32_t t =
            pool.create(c.width, c.height, GL_RGBA16F, GL_RGBA, GL_HALF_FLOAT, 0, &tw, &th);
        ASSERT_NE(t, 0u);
        const std::pair size(c.textureWidth, c.textureHeight);
        EXPECT_EQ(std::pair(tw, th), size);
        EXPECT_EQ(std::pair(textureParameter(t, GL_TEXTURE_WIDTH, 0),
                            textureParameter(t, GL_TEXTURE_HEIGHT, 0)),
                  size);
        HostImage image{};
        ASSERT_TRUE(pool.describe(t, &image));
        EXPECT_EQ(std::tuple(image.pixelType, image.internalFormat, image.width, image.height),
                  std::tuple(uint32_t(GL_HALF_FLOAT), uint32_t(GL_RGBA16F), c.width, c.height));
        EXPECT_EQ(std::tuple(image.uMin, image.uMax, image.vMax), std::tuple(0.0f, c.uMax, c.vMax));
        pool.release(t);
        EXPECT_EQ(pool.outstanding(), 0);
    }
}

TEST_F(GlHostTest, PoolReusesReleasedTexturesAndCountsEveryStep) {
    std::vector<uint32_t> names;
    {
        ImagePool pool(TexturePadding::Multiple16);
        auto make = [&](int side, GLenum format, int flag) {
            names.push_back(
                pool.create(side, side, format, GL_RGBA, GL_FLOAT, flag, nullptr, nullptr));
            return names.back();
        };
        using Counts = std::array<int, 5>;  // outstanding, lent, returned, created, errors
        auto counts = [&] {
            return Counts{pool.outstanding(), pool.totalLent(), pool.totalReturned(),
                          pool.texturesCreated(), pool.hostErrors()};
        };
        const uint32_t a = make(16, GL_RGBA32F, 0), b = make(16, GL_RGBA32F, 0);
        EXPECT_NE(a, b);
        pool.release(a);
        EXPECT_FALSE(pool.isLent(a));
        EXPECT_EQ(counts(), (Counts{1, 2, 1, 2, 0}));
        // 10x10 pads to the same 16x16 texture, so the released one comes back.
        const uint32_t c = make(10, GL_RGBA32F, 0);
        EXPECT_EQ(c, a);
        HostImage image{};
        ASSERT_TRUE(pool.describe(c, &image));
        EXPECT_EQ(image.width, 10);
        EXPECT_EQ(image.uMax, 0.625f);
        pool.release(b);
        // Same texture size but a mip chain, or another format: nothing to reuse.
        const uint32_t d = make(16, GL_RGBA32F, 1), e = make(16, GL_RGBA16F, 0);
        EXPECT_NE(d, b);
        EXPECT_NE(e, b);
        EXPECT_EQ(counts(), (Counts{3, 5, 2, 4, 0}));
        for (uint32_t t : {c, d, e, a, 987654u, 0u}) pool.release(t);  // a: returned as c
        EXPECT_FALSE(pool.describe(a, &image));
        EXPECT_EQ(counts(), (Counts{0, 5, 5, 4, 4}));
        for (uint32_t t : names) EXPECT_TRUE(glIsTexture(t)) << t;
    }
    for (uint32_t t : names) EXPECT_FALSE(glIsTexture(t)) << "pool left texture " << t;
}

// Float images round-trip in the render and pass tests; here 8-bit storage and bad regions.
TEST_F(GlHostTest, EightBitStorageAndRegionsOutsideTheTexture) {
    ImagePool pool(TexturePadding::Multiple16);
    // 8-bit storage keeps k/255 and clamps to [0, 1].
    const uint32_t bytes =
        pool.create(1, 1, GL_RGBA, GL_RGBA, GL_UNSIGNED_BYTE, 0, nullptr, nullptr);
    const float in[4] = {51.0f / 255.0f, 1.5f, -0.5f, 1.0f};
    ASSERT_TRUE(pool.upload(bytes, 0, 1, 1, in));
    const std::vector<float> out = pool.readBack(bytes, 0, 1, 1);
    ASSERT_EQ(out.size(), 4u);
    EXPECT_NEAR(out[0], 0.2f, 1e-6f);
    EXPECT_EQ(std::vector(out.begin() + 1, out.end()), (std::vector{1.0f, 0.0f, 1.0f}));

    // 5x3 pads to 16x16: levels 0..4, level 1 being 8x8.
    const uint32_t mipped = pool.create(5, 3, GL_RGBA32F, GL_RGBA, GL_FLOAT, 1, nullptr, nullptr);
    const std::vector<float> level1 = ramp(8, 8, 100.25f, -0.5f);
    ASSERT_TRUE(pool.upload(mipped, 1, 8, 8, level1.data()));
    EXPECT_EQ(pool.readBack(mipped, 1, 8, 8), level1);
    EXPECT_EQ(pool.hostErrors(), 0);
    EXPECT_TRUE(pool.readBack(mipped, 5, 1, 1).empty());
    EXPECT_TRUE(pool.readBack(mipped, 1, 9, 1).empty());
    EXPECT_TRUE(pool.readBack(mipped, 0, 17, 1).empty());
    EXPECT_TRUE(pool.readBack(bytes, 1, 1, 1).empty());  // no mip chain
    EXPECT_FALSE(pool.upload(mipped, 0, 5, 3, nullptr));
    for (uint32_t t : {mipped, bytes}) pool.release(t);
    EXPECT_TRUE(pool.readBack(mipped, 0, 1, 1).empty());
    EXPECT_FALSE(pool.upload(mipped, 0, 1, 1, level1.data()));
    EXPECT_EQ(pool.hostErrors(), 7);
    EXPECT_EQ(pool.outstanding(), 0);
}

TEST_F(GlHostTest, PoolWorkLeavesTheHostBindingsAlone) {
    ImagePool pool;
    const uint32_t target = pool.create(4, 4, GL_RGBA32F, GL_RGBA, GL_FLOAT, 0, nullptr, nullptr);
    const uint32_t bound = pool.create(4, 4, GL_RGBA32F, GL_RGBA, GL_FLOAT, 0, nullptr, nullptr);
    Framebuffer framebuffer;
    framebuffer.attach(target);
    glBindTexture(GL_TEXTURE_2D, bound);
    GLuint pack = 0;
    glGenBuffers(1, &pack);
    glBindBuffer(GL_PIXEL_PACK_BUFFER, pack);
    glBufferData(GL_PIXEL_PACK_BUFFER, 64, nullptr, GL_STREAM_READ);
    const HostGlState before = captureHostGlState();
    EXPECT_EQ(std::tuple(before.drawFramebuffer, before.colorAttachment0, before.textureUnit0),
              std::tuple(framebuffer.name(), target, bound));

    const uint32_t made = pool.create(3, 3, GL_RGBA32F, GL_RGBA, GL_FLOAT, 1, nullptr, nullptr);
    const std::vector<float> pixels = ramp(3, 3, 0.5f, 0.25f);
    ASSERT_TRUE(pool.upload(made, 0, 3, 3, pixels.data()));
    EXPECT_EQ(pool.readBack(made, 0, 3, 3), pixels);  // not into the bound pack buffer
    for (const std::string& line : diffHostGlState(before, captureHostGlState())) {
        ADD_FAILURE() << line;
    }
    GLint packBinding = 0;
    glGetIntegerv(GL_PIXEL_PACK_BUFFER_BINDING, &packBinding);
    EXPECT_EQ(static_cast<GLuint>(packBinding), pack);
    glBindBuffer(GL_PIXEL_PACK_BUFFER, 0);
    glDeleteBuffers(1, &pack);
    glBindTexture(GL_TEXTURE_2D, 0);
    for (uint32_t t : {target, bound, made}) pool.release(t);
}

// What a fetched frame holds is checked by the render tests; here, what a clip refuses.
TEST_F(GlHostTest, ClipFramesRefuseMisshapenFramesAndFailOnRequest) {
    ClipFrames clip;
    clip.setFrames({Frame{3, 2, ramp(3, 2, 0.0f, 0.1f)}, Frame{3, 2, ramp(3, 2, 2.0f, -0.1f)}});
    EXPECT_THROW(clip.setFrames({Frame{3, 2, std::vector<float>(23)}}), std::invalid_argument);
    EXPECT_THROW(clip.setFrames({Frame{0, 0, {}}}), std::invalid_argument);
    EXPECT_EQ(clip.frameCount(), 2);  // a rejected set keeps the old frames

    ImagePool pool;
    HostImage image{};
    clip.injectFailure(0);
    for (int index : {0, 2, -1}) {
        image.texture = 77;
        EXPECT_NE(clip.fetch(pool, index, &image), 0) << index;
        EXPECT_EQ(image.texture, 0u) << index;
    }
    EXPECT_EQ(pool.totalLent(), 0);
    ASSERT_EQ(clip.fetch(pool, 1, &image), 0);
    EXPECT_TRUE(pool.isLent(image.texture));
    pool.release(image.texture);
    EXPECT_EQ(clip.requests(), (std::vector<int>{0, 2, -1, 1}));
}

TEST_F(GlHostTest, StateDiffNamesEveryChangedBinding) {
    glViewport(0, 0, 8, 8);
    glDisable(GL_BLEND);
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    glActiveTexture(GL_TEXTURE0);
    const HostGlState before = captureHostGlState();
    EXPECT_EQ(std::tuple(before.drawFramebuffer, before.colorAttachment0, before.activeTexture),
              std::tuple(0u, 0u, uint32_t(GL_TEXTURE0)));
    EXPECT_TRUE(diffHostGlState(before, captureHostGlState()).empty());

    ImagePool pool;
    const uint32_t t = pool.create(4, 4, GL_RGBA32F, GL_RGBA, GL_FLOAT, 0, nullptr, nullptr);
    Framebuffer framebuffer;
    framebuffer.attach(t);
    glActiveTexture(GL_TEXTURE3);
    glBindTexture(GL_TEXTURE_2D, t);  // on unit 3: unit 0 is unchanged
    glViewport(1, 2, 30, 40);
    glEnable(GL_BLEND);
    glColorMask(GL_TRUE, GL_FALSE, GL_TRUE, GL_TRUE);
    glEnable(GL_SCISSOR_TEST);
    const HostGlState after = captureHostGlState();
    glDisable(GL_SCISSOR_TEST);
    GLint activeAfterCapture = 0;  // capture visits unit 0 and must come back
    glGetIntegerv(GL_ACTIVE_TEXTURE, &activeAfterCapture);
    EXPECT_EQ(activeAfterCapture, GL_TEXTURE3);
    const std::string fb = std::to_string(framebuffer.name());
    const std::vector<std::string> expected = {
        "draw framebuffer: expected 0, got " + fb,
        "colour attachment 0: expected 0, got " + std::to_string(t),
        "active texture: expected 0x84C0, got 0x84C3",
        "viewport: expected (0, 0, 8, 8), got (1, 2, 30, 40)",
        "blend: expected false, got true",
        "colour write mask: expected RGBA, got R-BA",
        "scissor test: expected false, got true",
    };
    EXPECT_EQ(diffHostGlState(before, after), expected);

    glActiveTexture(GL_TEXTURE0);
    glBindTexture(GL_TEXTURE_2D, t);
    HostGlState unit0 = before;
    unit0.textureUnit0 = t;
    EXPECT_EQ(diffHostGlState(before, unit0),
              std::vector<std::string>{"texture on unit 0: expected 0, got " + std::to_string(t)});
    EXPECT_EQ(captureHostGlState().textureUnit0, t);

    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    glBindTexture(GL_TEXTURE_2D, 0);
    glDisable(GL_BLEND);
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    pool.release(t);
}

TEST_F(GlHostTest, FramebufferReportsIncompletenessAndDeletesItsObject) {
    ImagePool pool;
    const uint32_t t = pool.create(4, 4, GL_RGBA16F, GL_RGBA, GL_HALF_FLOAT, 0, nullptr, nullptr);
    GLuint name = 0;
    {
        Framebuffer framebuffer;
        framebuffer.attach(t);
        name = framebuffer.name();
        // Attaching nothing leaves it incomplete, which the host must hear about.
        EXPECT_THROW(framebuffer.attach(0), std::runtime_error);
        const Framebuffer moved(std::move(framebuffer));
        EXPECT_EQ(framebuffer.name(), 0u);
        EXPECT_EQ(moved.name(), name);
        EXPECT_TRUE(glIsFramebuffer(name));
    }
    EXPECT_FALSE(glIsFramebuffer(name));
    pool.release(t);
}

TEST_F(GlHostTest, BuffersHoldTheirDataAndMistakesAreCounted) {
    GLuint effectArray = 0;  // an effect's own binding, which the host must not disturb
    glGenBuffers(1, &effectArray);
    glBindBuffer(GL_ARRAY_BUFFER, effectArray);
    GlObjects objects;
    const std::array<float, 4> initial = {1.0f, -2.5f, 3.25f, 1.0e-7f};
    void* mapped = nullptr;
    const uint32_t plain = objects.createBuffer(GL_ARRAY_BUFFER, sizeof initial, initial.data(),
                                                GL_STATIC_DRAW, nullptr, 0);
    const uint32_t writable =
        objects.createBuffer(GL_ELEMENT_ARRAY_BUFFER, 16, nullptr, GL_DYNAMIC_DRAW, &mapped, 0);
    ASSERT_NE(plain, 0u);
    ASSERT_NE(mapped, nullptr);
    EXPECT_FALSE(objects.isBufferMapped(plain));
    EXPECT_TRUE(objects.isBufferMapped(writable));
    GLint binding = 0;
    glGetIntegerv(GL_ARRAY_BUFFER_BINDING, &binding);
    EXPECT_EQ(static_cast<GLuint>(binding), effectArray);
    std::array<float, 4> stored{};
    glBindBuffer(GL_COPY_READ_BUFFER, plain);
    glGetBufferSubData(GL_COPY_READ_BUFFER, 0, sizeof stored, stored.data());
    glBindBuffer(GL_COPY_READ_BUFFER, 0);
    EXPECT_EQ(stored, initial);
    static_cast<float*>(mapped)[3] = 42.0f;  // the whole range is writable

    objects.deleteBuffer(writable);
    EXPECT_FALSE(glIsBuffer(writable));
    objects.deleteBuffer(writable);  // twice
    objects.deleteBuffer(424242u);
    EXPECT_EQ(objects.createBuffer(GL_TEXTURE_2D, 16, nullptr, GL_STATIC_DRAW, &mapped, 0), 0u);
    EXPECT_EQ(mapped, nullptr) << "a failure clears the mapping";
    EXPECT_EQ(objects.createBuffer(GL_ARRAY_BUFFER, 16, nullptr, GL_RGBA, nullptr, 0), 0u);
    EXPECT_EQ(objects.createBuffer(GL_ARRAY_BUFFER, 0, nullptr, GL_STATIC_DRAW, nullptr, 0), 0u);
    EXPECT_EQ(objects.hostErrors(), 5);
    EXPECT_EQ(objects.buffersOutstanding(), 1);
    const uint32_t array = objects.createVertexArray();
    EXPECT_NE(array, 0u);
    objects.deleteVertexArrays();
    EXPECT_EQ(objects.vertexArraysOutstanding(), 0);
    objects = GlObjects();  // the old contents go with the old value
    EXPECT_FALSE(glIsBuffer(plain));
    glBindBuffer(GL_ARRAY_BUFFER, 0);
    glDeleteBuffers(1, &effectArray);
}

}  // namespace
}  // namespace kestrel
