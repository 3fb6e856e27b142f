// The colour passes between premultiplied RGBA and straight-alpha Y'UV, through the
// plug-in's own code, against a reference computed here from the BT.601 analogue matrices.
#include <GL/glew.h>
#include <gtest/gtest.h>

#include <array>
#include <cstring>

#include "denoise/colour_conversion.h"
#include "gl/host_image.h"
#include "tests/plugin_gl_fixture.h"

namespace {

using Rgba = std::array<float, 4>;

// Rows of the forward and inverse matrices, as published for analogue Y'UV.
constexpr double kToYuv[3][3] = {
    {0.299, 0.587, 0.114}, {-0.14713, -0.28886, 0.436}, {0.615, -0.51499, -0.10001}};

Rgba referenceYuv(const Rgba& premultiplied) {
    double rgb[3];
    for (int c = 0; c < 3; ++c) {
        rgb[c] = premultiplied[3] != 0.0f ? double(premultiplied[c]) / premultiplied[3]
                                          : double(premultiplied[c]);
    }
    Rgba yuv{};
    for (int r = 0; r < 3; ++r) {
        yuv[r] = float(kToYuv[r][0] * rgb[0] + kToYuv[r][1] * rgb[1] + kToYuv[r][2] * rgb[2]);
    }
    yuv[3] = premultiplied[3];
    return yuv;
}

class ColourConversion : public test::PluginGlTest {
protected:
    // Converts the texels one way (or there and back) in 32-bit float images, so the test
    // sees the passes' own arithmetic rather than half-float storage.
    std::vector<float> convert(const std::vector<float>& rgba, bool roundTrip) {
        const int width = int(rgba.size() / 4);
        const HostImage in = makeFilledImage(width, 1, rgba, GL_RGBA32F);
        const HostImage yuv = Plugin::makeImage(call(), width, 1, GL_RGBA32F);
        const HostImage back = Plugin::makeImage(call(), width, 1, GL_RGBA32F);
        Plugin::renderRGBToYUV(call(), in, yuv);
        expectHostBindings();
        if (roundTrip) {
            Plugin::renderYUVToRGB(call(), yuv, back);
            expectHostBindings();
        }
        EXPECT_EQ(currentProgram(), 0u);
        std::vector<float> out = read(roundTrip ? back : yuv);
        release({in, yuv, back});
        return out;
    }
};

// A transparent texel keeps its colour undivided.
TEST_F(ColourConversion, ForwardMatchesTheMatricesAfterUndoingPremultiplication) {
    const std::vector<Rgba> texels = {{0.2f, 0.5f, 0.9f, 1.0f},  {0.25f, 0.25f, 0.25f, 0.5f},
                                      {1.0f, 0.0f, 0.0f, 1.0f},  {0.05f, 0.1f, 0.02f, 0.25f},
                                      {1.7f, -0.3f, 2.5f, 1.0f}, {0.7f, 0.2f, 0.9f, 0.0f}};
    std::vector<float> rgba;
    for (const Rgba& t : texels) rgba.insert(rgba.end(), t.begin(), t.end());
    const std::vector<float> out = convert(rgba, false);
    for (size_t i = 0; i < texels.size(); ++i) {
        const Rgba expected = referenceYuv(texels[i]);
        for (int c = 0; c < 4; ++c) EXPECT_NEAR(out[4 * i + c], expected[c], 2e-6) << i << c;
    }
    // Hand-computed: (0.25, 0.25, 0.25, 0.5) is grey 0.5 once divided by its alpha.
    EXPECT_NEAR(out[4], 0.5f, 1e-6);
    EXPECT_EQ(out[7], 0.5f);
}

// Transparent texels come back as transparent black.
TEST_F(ColourConversion, RoundTripKeepsOpaqueColourAndAlphaBitForBit) {
    std::vector<float> rgba = test::randomRgba(64, 1, 7, 0.0f, 1.0f);
    for (size_t i = 3; i < 64; i += 4) rgba[i] = 1.0f;                   // opaque
    for (size_t i = 64 + 3; i < rgba.size(); i += 4) rgba[i] *= 0.999f;  // translucent
    rgba.insert(rgba.end(), {-0.5f, 1.5f, 3.0f, 1.0f});  // out of range: never clamped
    const size_t transparent = rgba.size();
    rgba.insert(rgba.end(), {0.7f, 0.2f, 0.9f, 0.0f, 5.0f, -1.0f, 0.0f, 0.0f});
    const std::vector<float> out = convert(rgba, true);
    for (size_t i = 0; i < rgba.size(); ++i) {
        if (i >= transparent) {
            EXPECT_EQ(out[i], 0.0f) << i;
        } else if (i % 4 == 3) {
            EXPECT_EQ(std::memcmp(&out[i], &rgba[i], sizeof(float)), 0) << "alpha " << i;
        } else {
            // The two matrices are inverses only to five digits.
            EXPECT_NEAR(out[i], rgba[i], i < 64 ? 2e-5 : 1e-4) << i;
        }
    }
}

}  // namespace
