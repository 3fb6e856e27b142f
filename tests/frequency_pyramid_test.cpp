// The Laplacian pyramid in a mip chain and the B-spline copy on our host's context: where the
// driver's glGenerateMipmap filter matters, properties any filter keeps rather than values.
#include <GL/glew.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

#include "gl/host_image.h"
#include "render/frequency_pyramid.h"
#include "tests/plugin_gl_fixture.h"

namespace {

class FrequencyPyramid : public test::PluginGlTest {
protected:
    // An image with a full mip chain in the given format, level 0 filled.
    HostImage pyramidImage(int width, int height, uint32_t format, const std::vector<float>& rgba) {
        const uint32_t texture =
            host().api().CreateImage(host().handle(), &host().renderContext(), width, height,
                                     format, GL_RGBA, GL_FLOAT, 0, 0, nullptr, nullptr, 1);
        HostImage image{};
        EXPECT_TRUE(images().describe(texture, &image));
        EXPECT_TRUE(images().upload(texture, 0, width, height, rgba.data()));
        return image;
    }
    std::vector<float> level(const HostImage& image, int k) {
        return read(image, k, image.width >> k, image.height >> k);
    }
    // The driver's own mip level k of a copy of `rgba`, for comparison.
    std::vector<float> generatedLevel(int width, int height, uint32_t format,
                                      const std::vector<float>& rgba, int k) {
        HostImage copy = pyramidImage(width, height, format, rgba);
        glActiveTexture(GL_TEXTURE0);
        glBindTexture(GL_TEXTURE_2D, copy.texture);
        glGenerateMipmap(GL_TEXTURE_2D);
        glBindTexture(GL_TEXTURE_2D, host().renderContext().source->texture);
        std::vector<float> out = level(copy, k);
        release(copy);
        return out;
    }
};

// An inverse pair up to storage rounding: half floats lose up to 2^-10 per level.
TEST_F(FrequencyPyramid, CollapseUndoesTheDecomposition) {
    startHost(32, 24);
    const std::vector<float> rgba = test::randomRgba(32, 24, 71, 0.0f, 1.0f);
    const int layers = Plugin::frequencyLayerCount(32, 24);
    for (uint32_t format : {GLuint(GL_RGBA32F), GLuint(GL_RGBA16F)}) {
        HostImage image = pyramidImage(32, 24, format, rgba);
        const std::vector<float> before = level(image, 0);  // as stored
        Plugin::decomposeFrequencies(call(), image, layers);
        expectHostBindings();
        EXPECT_EQ(currentProgram(), 0u);
        EXPECT_FALSE(glIsEnabled(GL_BLEND));
        const std::vector<float> layer0 = level(image, 0);
        Plugin::collapseFrequencies(call(), image, layers);
        expectHostBindings();
        const std::vector<float> out = level(image, 0);
        const double tolerance = format == GL_RGBA32F ? 1e-5 : layers * std::ldexp(1.0, -10);
        double detail = 0;
        for (size_t i = 0; i < out.size(); ++i) {
            ASSERT_NEAR(out[i], before[i], i % 4 == 3 ? 0.0 : tolerance) << i;  // alpha exact
            if (i % 4 != 3) detail = std::max(detail, std::fabs(double(layer0[i])));
        }
        EXPECT_GT(detail, 0.1) << "layer 0 holds detail, not the picture";
        release(image);
    }
}

TEST_F(FrequencyPyramid, AConstantHasNoDetailAndItselfAsResidual) {
    startHost(16, 16);
    std::vector<float> rgba;
    for (int i = 0; i < 16 * 16; ++i) rgba.insert(rgba.end(), {0.25f, -0.125f, 0.5f, 1.0f});
    const int layers = Plugin::frequencyLayerCount(16, 16);
    HostImage image = pyramidImage(16, 16, GL_RGBA32F, rgba);
    Plugin::decomposeFrequencies(call(), image, layers);
    for (int k = 0; k < layers; ++k) {
        for (float v : level(image, k)) EXPECT_NEAR(v == 1.0f ? 0.0f : v, 0.0f, 1e-6) << k;
    }
    const std::vector<float> residual = level(image, layers);
    ASSERT_FALSE(residual.empty());
    for (size_t i = 0; i < residual.size(); ++i) EXPECT_EQ(residual[i], rgba[i]) << i;
    release(image);
}

// Into another image: the same layers, the source left a plain mip-mapped picture.
TEST_F(FrequencyPyramid, DecomposingIntoAnotherImageMatchesDecomposingInPlace) {
    startHost(32, 16);
    const std::vector<float> rgba = test::randomRgba(32, 16, 91, 0.0f, 1.0f);
    const int layers = Plugin::frequencyLayerCount(32, 16);
    HostImage inPlace = pyramidImage(32, 16, GL_RGBA32F, rgba);
    HostImage source = pyramidImage(32, 16, GL_RGBA32F, rgba);
    HostImage destination = pyramidImage(32, 16, GL_RGBA32F, std::vector<float>(32 * 16 * 4));
    Plugin::decomposeFrequencies(call(), inPlace, layers);
    Plugin::decomposeFrequenciesInto(call(), source, destination, layers);
    expectHostBindings();
    for (int k = 0; k < layers; ++k) {
        const std::vector<float> expected = level(inPlace, k);
        const std::vector<float> got = level(destination, k);
        for (size_t i = 0; i < got.size(); ++i) {
            if (i % 4 != 3) {
                ASSERT_NEAR(got[i], expected[i], 1e-5) << "layer " << k;
            }
        }
        EXPECT_EQ(level(source, k), generatedLevel(32, 16, GL_RGBA32F, rgba, k)) << k;
    }
    release({inPlace, source, destination});
}

// Columns of a 32 x 8 image: value(x) in every channel, alpha(x) in alpha.
std::vector<float> columns(float (*value)(int), float (*alpha)(int)) {
    std::vector<float> rgba;
    for (int y = 0; y < 8; ++y) {
        for (int x = 0; x < 32; ++x)
            rgba.insert(rgba.end(), {value(x), value(x), value(x), alpha(x)});
    }
    return rgba;
}

class BicubicCopy : public FrequencyPyramid {
protected:
    // Row 4 of the copy, RGBA.
    std::vector<float> copy(const std::vector<float>& rgba, float gain, bool minAbs) {
        startHost(32, 8);
        HostImage source = pyramidImage(32, 8, GL_RGBA32F, rgba);
        HostImage destination = Plugin::makeImage(call(), 32, 8, GL_RGBA32F);
        Plugin::renderBicubicCopy(call(), source, destination, 0, 0, gain, minAbs);
        expectAttached(destination, 0);
        expectOnUnit0(source);
        EXPECT_EQ(currentProgram(), GLuint(effect().programId("bicubicCopy")));
        glUseProgram(0);
        std::vector<float> out = read(destination);
        release({source, destination});
        return {out.begin() + 4 * 32 * 4, out.begin() + 4 * 32 * 5};
    }
};

// The cubic B-spline reproduces straight lines: away from the borders alpha's ramp stays.
TEST_F(BicubicCopy, GainZeroWritesNoColourButKeepsTheSampledAlpha) {
    const std::vector<float> out = copy(columns([](int x) { return 0.3f + 0.01f * float(x); },
                                                [](int x) { return 0.2f + 0.02f * float(x); }),
                                        0.0f, false);
    for (int x = 0; x < 32; ++x) {
        for (int c = 0; c < 3; ++c) EXPECT_EQ(out[size_t(4 * x + c)], 0.0f);
        if (x >= 2 && x < 30) {
            EXPECT_NEAR(out[size_t(4 * x + 3)], 0.2f + 0.02f * float(x), 1e-4) << x;
        }
    }
}

// A step between two values of one sign: far from the edge each side keeps its own value.
TEST_F(BicubicCopy, MinimumMagnitudeKeepsBothSidesOfAStepEdge) {
    const std::vector<float> out = copy(
        columns([](int x) { return x < 16 ? 0.2f : 0.8f; }, [](int) { return 1.0f; }), 1.0f, true);
    for (int x = 0; x < 32; ++x) {
        const float v = out[size_t(4 * x)];
        EXPECT_GE(v, 0.2f - 1e-4f) << x;
        EXPECT_LE(v, 0.8f + 1e-4f) << x;
        if (x < 13 || x > 18) {
            EXPECT_NEAR(v, x < 13 ? 0.2f : 0.8f, 1e-5) << x;
        }
    }
}

// Through a band of zeros between signs, every output with a zero sample among its five is 0;
// values of either sign far from the band survive.
TEST_F(BicubicCopy, MinimumMagnitudeZeroesWhereASampleIsZero) {
    const std::vector<float> out =
        copy(columns([](int x) { return x < 14 ? 0.5f : (x < 18 ? 0.0f : -0.5f); },
                     [](int) { return 1.0f; }),
             1.0f, true);
    for (int x = 14; x < 18; ++x) EXPECT_EQ(out[size_t(4 * x)], 0.0f) << x;
    EXPECT_NEAR(out[4 * 5], 0.5f, 1e-5);
    EXPECT_NEAR(out[4 * 25], -0.5f, 1e-5);
    EXPECT_GT(out[4 * 13], 0.0f);
    EXPECT_LT(out[4 * 18], 0.0f);
}

// Up one level, as the estimate reads the coarser layer: every output against the cubic
// B-spline written out here (four weights per axis, the level's edge repeated), the smallest
// magnitude of the sample and its four neighbours one coarse texel away. Outputs whose two
// smallest candidates are too close in magnitude to tell apart are not judged.
TEST_F(BicubicCopy, MinimumMagnitudeUpsamplesTheCoarserLevelLikeTheCubicBSpline) {
    constexpr int kWidth = 32, kHeight = 16, kCoarseW = kWidth / 2, kCoarseH = kHeight / 2;
    startHost(kWidth, kHeight);
    const std::vector<float> coarse = test::randomRgba(kCoarseW, kCoarseH, 83, -1.0f, 1.0f);
    HostImage source =
        pyramidImage(kWidth, kHeight, GL_RGBA32F, std::vector<float>(kWidth * kHeight * 4, 0.0f));
    ASSERT_TRUE(images().upload(source.texture, 1, kCoarseW, kCoarseH, coarse.data()));
    HostImage destination = Plugin::makeImage(call(), kWidth, kHeight, GL_RGBA32F);
    Plugin::renderBicubicCopy(call(), source, destination, 1, 0, 1.0f, true);
    glUseProgram(0);
    const std::vector<float> out = read(destination);
    release({source, destination});

    const auto weights = [](double t) {
        return std::array<double, 4>{(1 - t) * (1 - t) * (1 - t) / 6,
                                     (3 * t * t * t - 6 * t * t + 4) / 6,
                                     (-3 * t * t * t + 3 * t * t + 3 * t + 1) / 6, t * t * t / 6};
    };
    const auto texel = [&](int x, int y, int c) {
        x = std::clamp(x, 0, kCoarseW - 1);
        y = std::clamp(y, 0, kCoarseH - 1);
        return double(coarse[size_t((y * kCoarseW + x) * 4 + c)]);
    };
    int judged = 0;
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x) {
            // Fine texel centres sit a quarter of a coarse texel off the coarse centres.
            const double px = (x + 0.5) / 2 - 0.5, py = (y + 0.5) / 2 - 0.5;
            const int ix = int(std::floor(px)), iy = int(std::floor(py));
            const auto wx = weights(px - ix), wy = weights(py - iy);
            for (int c = 0; c < 3; ++c) {
                std::vector<double> candidates;
                for (auto [sx, sy] : {std::pair{0, 0}, {-1, 0}, {1, 0}, {0, -1}, {0, 1}}) {
                    double v = 0;
                    for (int b = 0; b < 4; ++b) {
                        for (int a = 0; a < 4; ++a) {
                            v += wx[size_t(a)] * wy[size_t(b)] *
                                 texel(ix - 1 + a + sx, iy - 1 + b + sy, c);
                        }
                    }
                    candidates.push_back(v);
                }
                std::sort(candidates.begin(), candidates.end(),
                          [](double a, double b) { return std::fabs(a) < std::fabs(b); });
                if (std::fabs(candidates[1]) - std::fabs(candidates[0]) < 2e-3) continue;
                ++judged;
                EXPECT_NEAR(out[size_t((y * kWidth + x) * 4 + c)], candidates[0], 1e-3)
                    << x << ", " << y << " channel " << c;
            }
        }
    }
    EXPECT_GT(judged, 1200);
}

}  // namespace
