// The wavelet programs and multi-level transform on our host's context, against hand values,
// a reference transform over the six-decimal taps the programs apply, and reconstruction.
#include <GL/glew.h>
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "denoise/wavelet_transform.h"
#include "gl/host_image.h"
#include "gl/pass_chain.h"
#include "tests/plugin_gl_fixture.h"

namespace {

using Plugin::PassChain;
using Plugin::WaveletDirection;

// A filter's taps as the generated programs apply them: printed with six decimals.
struct Taps {
    std::vector<double> lo, hi;
};
Taps sixDigitTaps(const Plugin::WaveletFilter& filter) {
    Taps taps;
    for (int k = 0; k < filter.n; ++k) {
        taps.lo.push_back(std::round(filter.lo[size_t(k)] * 1e6) / 1e6);
        taps.hi.push_back(std::round(filter.hi[size_t(k)] * 1e6) / 1e6);
    }
    return taps;
}

// Periodic analysis of one w x h channel: per level rows then columns of the lower-left
// region, low band into a line's first half, high band into its second.
std::vector<double> analyseReference(std::vector<double> v, int w, int h, int levels,
                                     const Taps& taps) {
    auto line = [&](int length, auto at) {
        std::vector<double> in(static_cast<size_t>(length)), out(in.size());
        for (int i = 0; i < length; ++i) in[size_t(i)] = at(i);
        for (int x = 0; x < length; ++x) {
            const std::vector<double>& t = 2 * x < length ? taps.lo : taps.hi;
            for (size_t k = 0; k < t.size(); ++k)
                out[size_t(x)] += t[k] * in[(2 * x + k) % size_t(length)];
        }
        for (int i = 0; i < length; ++i) at(i) = out[size_t(i)];
    };
    for (int l = 0; l < levels; ++l) {
        for (int y = 0; y < h >> l; ++y)
            line(w >> l, [&](int x) -> double& { return v[size_t(y * w + x)]; });
        for (int x = 0; x < w >> l; ++x)
            line(h >> l, [&](int y) -> double& { return v[size_t(y * w + x)]; });
    }
    return v;
}

// The "method" choice as our host reports it; tests may stand in another host's values.
int32_t gMethod = 0;
int32_t reportedMethod(HostHandle, const char*, int32_t) {
    return gMethod;
}

class WaveletTransform : public test::PluginGlTest {
protected:
    void useMethod(int32_t method) {
        gMethod = method;
        host().api().GetChoiceParameter = &reportedMethod;
    }

    // One pass of a program over a 32-bit float row (its arithmetic, not half-float storage);
    // the target first holds `held` when given.
    std::vector<float> onePass(const char* program, const std::vector<float>& rgba, int width,
                               float scale, const std::vector<float>& held = {}) {
        HostImage in = makeFilledImage(width, 1, rgba, GL_RGBA32F);
        HostImage out = held.empty() ? Plugin::makeImage(call(), width, 1, GL_RGBA32F)
                                     : makeFilledImage(width, 1, held, GL_RGBA32F);
        {
            PassChain chain(call(), &in, &out, false);
            Plugin::prepareWaveletPasses(call(), chain, program);
            Plugin::drawWaveletPass(call(), chain, WaveletDirection::Horizontal, scale);
            chain.finish();
        }
        std::vector<float> result = read(out);
        release({in, out});
        return result;
    }

    // Red channel of a one-row image with the given values, other channels 0, alpha 1.
    static std::vector<float> row(const std::vector<float>& values) {
        std::vector<float> rgba;
        for (float v : values) {
            for (float c : {v, 0.0f, 0.0f, 1.0f}) rgba.push_back(c);
        }
        return rgba;
    }
};

// Haar by hand, there and back; Daubechies 8's first high-band sample reads 0..7 by its taps.
TEST_F(WaveletTransform, RowPassesApplyTheirSixDigitTaps) {
    const std::vector<float> analysed = onePass("haarDec", row({1, 3, 5, 7}), 4, 1.0f);
    const float expected[4] = {2.828428f, 8.485284f, -1.414214f, -1.414214f};
    const std::vector<float> back = onePass("haarRec", analysed, 4, 1.0f);
    for (int x = 0; x < 4; ++x) {
        EXPECT_NEAR(analysed[size_t(4 * x)], expected[x], 1e-6) << x;
        EXPECT_NEAR(back[size_t(4 * x)], float(2 * x + 1), 1e-6 * (2 * x + 1)) << x;
    }
    const Taps taps = sixDigitTaps(Plugin::daubechies8Filter());
    for (size_t j = 0; j < 8; ++j) {
        std::vector<float> values(8, 0.0f);
        values[j] = 1.0f;
        EXPECT_NEAR(onePass("daubechies8Dec", row(values), 8, 1.0f)[4 * 4], taps.hi[j], 1e-6) << j;
    }
}

// A pass draws its active region only: beyond it the target keeps what it held.
TEST_F(WaveletTransform, TexelsBeyondTheRegionKeepWhatTheTargetHeld) {
    std::vector<float> rgba;
    for (int x = 0; x < 8; ++x) rgba.insert(rgba.end(), {float(x), 0.5f, 0.0f, 0.25f});
    const std::vector<float> held(32, -3.0f);
    // Half the row is active: columns 0..3 are filtered, 4..7 not drawn.
    const std::vector<float> out = onePass("haarDec", rgba, 8, 0.5f, held);
    for (int x = 0; x < 4; ++x) EXPECT_EQ(out[size_t(4 * x + 3)], 1.0f) << x;
    for (int x = 4; x < 8; ++x) {
        for (int c = 0; c < 4; ++c) EXPECT_EQ(out[size_t(4 * x + c)], -3.0f) << x;
    }
    EXPECT_NEAR(out[0], 0.707107f * 1.0f, 1e-6);  // (0 + 1) a
    EXPECT_NEAR(out[8], -0.707107f, 1e-6);        // (0 - 1) a, the high band of 4 texels
}

// Every wavelet, half floats: each pass rounds by up to 2^-12 of a coefficient's size.
TEST_F(WaveletTransform, MultiLevelAnalysisMatchesTheReference) {
    const int width = 32;
    const int height = 16;
    const std::vector<float> rgba = test::randomRgba(width, height, 11, 0.0f, 1.0f);
    for (int method = 0; method < 5; ++method) {
        useMethod(method);
        HostImage in = makeFilledImage(width, height, rgba);
        HostImage out = Plugin::makeImage(call(), width, height, GL_RGBA16F);
        {
            PassChain chain(call(), &in, &out, false);
            Plugin::decomposeWavelet(call(), chain, 3, chosenWavelet());
            chain.finish();
        }
        const std::vector<float> gpu = read(out);
        const Taps taps = sixDigitTaps(Plugin::kWavelets[size_t(method)].makeFilter());
        for (size_t channel = 0; channel < 3; ++channel) {
            std::vector<double> plane;
            for (size_t i = channel; i < rgba.size(); i += 4) plane.push_back(double(rgba[i]));
            const std::vector<double> expected = analyseReference(plane, width, height, 3, taps);
            for (size_t i = 0; i < plane.size(); ++i) {
                ASSERT_NEAR(gpu[4 * i + channel], expected[i],
                            4e-3 * (1.0 + std::fabs(expected[i])))
                    << "method " << method << " texel " << i;
            }
        }
        release({in, out});
    }
}

// Analysis then synthesis in half floats: each of the 4L stores between passes may lose
// 2^-10 of a value near 1 (a rasteriser may truncate); the taps' 1e-6 is far below that.
double roundTripTolerance(int levels) {
    return 4.0 * levels * std::ldexp(1.0, -10);
}

// Synthesis of an analysed image back into a new one of its size.
HostImage reconstruct(const Plugin::HostCall& call, HostImage& analysed, int levels) {
    HostImage result = Plugin::makeImage(call, analysed.width, analysed.height, GL_RGBA16F);
    PassChain chain(call, &analysed, &result, false);
    Plugin::reconstructWavelet(
        call, chain, levels,
        Plugin::waveletForMethod(call.api->GetChoiceParameter(call.host, "method", 0)));
    chain.finish();
    return result;
}

// Every wavelet and level count, on sizes that need padding.
TEST_F(WaveletTransform, AnalysisThenSynthesisReturnsThePictureAndItsMirroredMargin) {
    struct Size {
        int width, height, levels;
    };
    const Size sizes[] = {{2, 7, 1}, {3, 5, 2}, {5, 11, 3}, {9, 13, 4}, {45, 27, 5}};
    for (int method = 0; method < 5; ++method) {
        useMethod(method);
        for (const Size& size : sizes) {
            ASSERT_EQ(Plugin::waveletLevelCount(size.width), size.levels);
            const std::vector<float> rgba = test::randomRgba(
                size.width, size.height, unsigned(method * 10 + size.levels), 0.0f, 1.0f);
            HostImage in = makeFilledImage(size.width, size.height, rgba);
            const int paddedWidth = Plugin::paddedWaveletSize(size.width, size.levels);
            const int paddedHeight = Plugin::paddedWaveletSize(size.height, size.levels);
            HostImage analysed = Plugin::makeImage(call(), paddedWidth, paddedHeight, GL_RGBA16F);
            Plugin::forwardTransform(call(), in, analysed, 0, chosenWavelet());
            expectAttached(analysed, 0);
            expectOnUnit0(in);
            HostImage back = reconstruct(call(), analysed, size.levels);
            const std::vector<float> out = read(back);
            const double tolerance = roundTripTolerance(size.levels);
            for (int y = 0; y < paddedHeight; ++y) {
                for (int x = 0; x < paddedWidth; ++x) {
                    // Beyond the picture, the mirror image about its last row and column.
                    const int sx = x < size.width ? x : 2 * size.width - 1 - x;
                    const int sy = y < size.height ? y : 2 * size.height - 1 - y;
                    for (int c = 0; c < 4; ++c) {
                        const float expected =
                            rgba[(size_t(sy) * size.width + size_t(sx)) * 4 + size_t(c)];
                        const float got =
                            out[(size_t(y) * paddedWidth + size_t(x)) * 4 + size_t(c)];
                        // Alpha is set to 1 by every pass inside the region.
                        ASSERT_NEAR(got, c == 3 ? 1.0f : expected, tolerance)
                            << "method " << method << ", " << size.width << " x " << size.height
                            << " at (" << x << ", " << y << ") channel " << c;
                    }
                }
            }
            release({in, analysed, back});
        }
    }
}

// 96 x 50 takes five levels: the height pads to 64, the width is a multiple of 32 already.
TEST_F(WaveletTransform, AnalysisPadsOnceAndRunsTwoPassesPerLevel) {
    HostImage in = makeFilledImage(96, 50, std::vector<float>(size_t(96) * 50 * 4, 0.5f));
    const int drawsBefore = drawsRecorded();
    const int lentBefore = images().totalLent();
    HostImage analysed = Plugin::analysisForwardTransform(call(), in, 0, chosenWavelet());
    EXPECT_EQ(drawsRecorded() - drawsBefore, 11) << "one padding pass and ten analysis passes";
    EXPECT_EQ(images().totalLent() - lentBefore, 2) << "the result and one scratch image";
    EXPECT_EQ(analysed.width, 96);
    EXPECT_EQ(analysed.height, 64);
    EXPECT_EQ(analysed.internalFormat, GLuint(GL_RGBA16F));
    expectAttached(analysed, 0);
    // Each level doubles a constant's approximation and leaves no detail: level 5's LL is
    // 3 x 2 texels of 0.5 x 32. Ten half-float stores may each lose 2^-10.
    const std::vector<float> out = read(analysed);
    auto at = [&](int x, int y) { return out[(size_t(y) * 96 + size_t(x)) * 4]; };
    for (int y = 0; y < 64; ++y) {
        for (int x = 0; x < 96; ++x) {
            const float expected = x < 3 && y < 2 ? 16.0f : 0.0f;
            ASSERT_NEAR(at(x, y), expected, 16.0f * 10.0f * std::ldexp(1.0f, -10))
                << x << ", " << y;
        }
    }
    release({in, analysed});
}

TEST_F(WaveletTransform, OneTexelWideInputIsCopiedWithoutAnyPass) {
    const std::vector<float> rgba = {0.125f, 0.25f, 0.5f,  1.0f, 0.75f, 0.375f,
                                     1.5f,   0.5f,  -2.0f, 0.0f, 4.0f,  0.25f};
    HostImage in = makeFilledImage(1, 3, rgba);
    const int drawsBefore = drawsRecorded();
    HostImage analysed = Plugin::analysisForwardTransform(call(), in, 0, chosenWavelet());
    EXPECT_EQ(drawsRecorded() - drawsBefore, 1) << "the final copy only";
    EXPECT_EQ(analysed.width, 1);
    EXPECT_EQ(analysed.height, 3);
    EXPECT_EQ(read(analysed), rgba);
    release({in, analysed});
}

// A layer above level 0 already a multiple of 2^L is read at its level, not level 0.
TEST_F(WaveletTransform, ALevelThatNeedsNoPaddingIsStillReadAtItsOwnLevel) {
    HostImage in = Plugin::makeImageLike(call(), 128, 64, true, 1);
    const std::vector<float> level0 = test::randomRgba(128, 64, 3, 0.0f, 1.0f);
    std::vector<float> level1 = test::randomRgba(64, 32, 4, 0.0f, 1.0f);
    for (size_t i = 3; i < level1.size(); i += 4) level1[i] = 1.0f;
    ASSERT_TRUE(images().upload(in.texture, 0, 128, 64, level0.data()));
    ASSERT_TRUE(images().upload(in.texture, 1, 64, 32, level1.data()));
    useMethod(1);
    for (bool ownImage : {true, false}) {
        HostImage analysed{};
        if (ownImage) {
            analysed = Plugin::makeImage(call(), 64, 32, GL_RGBA16F);
            Plugin::forwardTransform(call(), in, analysed, 1, chosenWavelet());
        } else {
            analysed = Plugin::analysisForwardTransform(call(), in, 1, chosenWavelet());
        }
        ASSERT_EQ(analysed.width, 64);
        ASSERT_EQ(analysed.height, 32);
        HostImage back = reconstruct(call(), analysed, 5);
        const std::vector<float> out = read(back);
        for (size_t i = 0; i < out.size(); ++i) {
            ASSERT_NEAR(out[i], level1[i], roundTripTolerance(5))
                << (ownImage ? "forward" : "analysis") << i;
        }
        release({analysed, back});
    }
    release(in);
}

}  // namespace
