// The shrinkage pass, through the plug-in's own code on our host's context, against a
// plain reference of the rule written here over a 16 x 16 decomposition of two levels.
#include <GL/glew.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "denoise/noise_removal.h"
#include "gl/host_image.h"
#include "gl/pass_chain.h"
#include "params/parameter_ids.h"
#include "tests/plugin_gl_fixture.h"

namespace {

using Plugin::PassChain;
using Vec3 = Plugin::plugin_glsl_types::genVec3<float>;

constexpr int kSize = 16;
constexpr int kLevels = 2;
constexpr int kLayer = 3;

// Everything the rule depends on, in the test's own terms.
struct Settings {
    float thresholds[kLevels][3][3] = {};  // [level - 1][band HH, LH, HL][channel], fractions
    float channelMultiplier[3] = {1, 1, 1};
    float layerMultiplier = 1;
    float brightnessMultiplier[11] = {1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1};
    float softness = 0;  // percent
    Vec3 removal = {1, 1, 1};
};

// The multiplier curve: linear between brightness 0, 0.1, ..., 1, held beyond.
float curve(const Settings& s, float b) {
    if (b <= 0) return s.brightnessMultiplier[0];
    for (int j = 1; j <= 10; ++j) {
        if (b <= 0.1f * float(j)) {
            const float t = (b - 0.1f * float(j - 1)) * 10;
            return s.brightnessMultiplier[j - 1] * (1 - t) + s.brightnessMultiplier[j] * t;
        }
    }
    return s.brightnessMultiplier[10];
}

// Expected output of texel (x, y), channel c, for a uniform brightness b. Level k covers
// the lower-left 16 >> (k - 1) texels; its detail is wherever either coordinate lies in the
// upper half; what remains of level kLevels is the approximation.
float reference(const Settings& s, const std::vector<float>& coef, const std::vector<float>& est,
                float b, int x, int y, int c) {
    const float in = coef[size_t((y * kSize + x) * 4 + c)];
    int level = 0;
    int band = 0;
    for (int k = 1; k <= kLevels && level == 0; ++k) {
        const int half = kSize >> k;
        const bool right = x >= half && x < 2 * half;
        const bool top = y >= half && y < 2 * half;
        if (x < 2 * half && y < 2 * half && (right || top)) {
            level = k;
            band = right && top ? 0 : (right ? 1 : 2);
        }
    }
    if (level == 0) return in;  // the approximation
    float e = 0;
    const float w2[5][5] = {{1, 4, 7, 4, 1},
                            {4, 16, 26, 16, 4},
                            {7, 26, 41, 26, 7},
                            {4, 16, 26, 16, 4},
                            {1, 4, 7, 4, 1}};
    for (int j = -2; j <= 2; ++j) {
        for (int i = -2; i <= 2; ++i) {
            const int sx = std::clamp(x + i, 0, kSize - 1);
            const int sy = std::clamp(y + j, 0, kSize - 1);
            e += w2[j + 2][i + 2] * std::fabs(est[size_t((sy * kSize + sx) * 4 + c)]);
        }
    }
    e /= 271.0f;
    const float t =
        s.thresholds[level - 1][band][c] * s.channelMultiplier[c] * s.layerMultiplier * curve(s, b);
    const float h = s.softness * 0.01f * 0.5f;
    const float lo = t * (1 - h);
    const float hi = t * (1 + h);
    float out = in;
    if (e < lo) {
        out = 0;
    } else if (e < hi) {
        out = in * (e - lo) / (hi - lo);
    }
    const float amount = c == 0 ? s.removal.x : (c == 1 ? s.removal.y : s.removal.z);
    return in + amount * (out - in);
}

class NoiseRemoval : public test::PluginGlTest {
protected:
    void store(const std::string& id, double percent) {
        host().parameters().set(id, 0, {percent}, 0);
    }
    void apply(const Settings& s) {
        for (int level = 1; level <= kLevels; ++level) {
            for (int band = 0; band < 3; ++band) {
                for (int c = 0; c < 3; ++c) {
                    store(Plugin::ids::threshold(c, kLayer, band, level),
                          100.0 * s.thresholds[level - 1][band][c]);
                }
            }
        }
        for (int c = 0; c < 3; ++c) {
            store(Plugin::ids::channelMultiplier(c), 100.0 * s.channelMultiplier[c]);
        }
        store(Plugin::ids::frequencyMultiplier(kLayer), 100.0 * s.layerMultiplier);
        for (int j = 0; j < 11; ++j) {
            store(Plugin::ids::brightnessMultiplier(10 * j), 100.0 * s.brightnessMultiplier[j]);
        }
        store(Plugin::ids::kSoftThresholding, s.softness);
    }
    HostImage floatImage(const std::vector<float>& rgba) {
        HostImage image = Plugin::makeImage(call(), kSize, kSize, GL_RGBA32F);
        EXPECT_TRUE(images().upload(image.texture, 0, kSize, kSize, rgba.data()));
        return image;
    }
    // Runs the pass over `coef` with `est` as estimate and a uniform brightness, into an
    // output pre-filled with 7 so that texels the pass leaves alone show.
    std::vector<float> run(const Settings& s, const std::vector<float>& coef,
                           const std::vector<float>& est, float b, int levels = kLevels) {
        apply(s);
        HostImage input = floatImage(coef);
        HostImage estimate = floatImage(est);
        HostImage brightness = floatImage(std::vector<float>(kSize * kSize * 4, b));
        HostImage output = floatImage(std::vector<float>(kSize * kSize * 4, 7.0f));
        {
            PassChain chain(call(), &input, &output, false);
            Plugin::renderNoiseRemoval(call(), chain, brightness, 0, estimate, kLayer, levels,
                                       s.removal);
            EXPECT_EQ(chain.currentSource(), &output) << "the chain advanced once";
            chain.finish();
        }
        std::vector<float> out = read(output);
        for (const HostImage& image : {input, estimate, brightness, output}) release(image);
        return out;
    }
};

Settings randomSettings(unsigned seed, float softness) {
    std::vector<float> r = test::randomRgba(10, 10, seed, 0.0f, 1.0f);
    Settings s;
    size_t i = 0;
    for (auto& level : s.thresholds) {
        for (auto& band : level) {
            for (float& t : band) t = 0.6f * r[i++];
        }
    }
    for (float& m : s.channelMultiplier) m = 0.5f + r[i++];
    s.layerMultiplier = 0.5f + r[i++];
    for (float& m : s.brightnessMultiplier) m = 0.5f + r[i++];
    s.softness = softness;
    s.removal = {1.0f, 0.0f, 0.6f};
    return s;
}

TEST_F(NoiseRemoval, MatchesTheReferenceForHardSoftAndFullySoftThresholds) {
    const std::vector<float> coef = test::randomRgba(kSize, kSize, 21, -1.0f, 1.0f);
    const std::vector<float> est = test::randomRgba(kSize, kSize, 22, -0.5f, 0.5f);
    for (float softness : {0.0f, 40.0f, 100.0f}) {
        const Settings s = randomSettings(unsigned(softness) + 5, softness);
        for (float b : {0.37f, 0.85f}) {
            const std::vector<float> out = run(s, coef, est, b);
            int changed = 0;
            for (int y = 0; y < kSize; ++y) {
                for (int x = 0; x < kSize; ++x) {
                    for (int c = 0; c < 3; ++c) {
                        const float expected = reference(s, coef, est, b, x, y, c);
                        const float got = out[size_t((y * kSize + x) * 4 + c)];
                        // Linear filtering at texel centres may blend in ~1e-6 of the
                        // neighbours on a CPU rasteriser.
                        ASSERT_NEAR(got, expected, 1e-4) << "softness " << softness << " b " << b
                                                         << " at " << x << ", " << y << " c" << c;
                        changed += got != coef[size_t((y * kSize + x) * 4 + c)];
                    }
                    // Alpha is never touched.
                    ASSERT_EQ(out[size_t((y * kSize + x) * 4 + 3)],
                              coef[size_t((y * kSize + x) * 4 + 3)]);
                }
            }
            EXPECT_GT(changed, 50) << "the settings must bite for the comparison to mean much";
        }
    }
}

// Texel (x, y) channel c of a decomposition.
float at(const std::vector<float>& rgba, int x, int y, int c) {
    return rgba[size_t((y * kSize + x) * 4 + c)];
}

TEST_F(NoiseRemoval, AZeroThresholdOrMultiplierLeavesItsCoefficientsAlone) {
    const std::vector<float> coef = test::randomRgba(kSize, kSize, 31, -1.0f, 1.0f);
    const std::vector<float> est = test::randomRgba(kSize, kSize, 32, -0.1f, 0.1f);
    Settings all;  // thresholds far above every estimate: everything detailed goes
    for (auto& level : all.thresholds) {
        for (auto& band : level) std::fill(std::begin(band), std::end(band), 0.9f);
    }
    Settings zeroThreshold = all;
    zeroThreshold.thresholds[0][0][0] = 0;  // Y of HH at level 1
    std::vector<float> out = run(zeroThreshold, coef, est, 0.5f);
    for (int y = 8; y < 16; ++y) {
        for (int x = 8; x < 16; ++x) {
            EXPECT_EQ(at(out, x, y, 0), at(coef, x, y, 0));
            EXPECT_EQ(at(out, x, y, 1), 0.0f);
        }
    }
    Settings zeroChannel = all;
    zeroChannel.channelMultiplier[1] = 0;
    Settings zeroLayer = all;
    zeroLayer.layerMultiplier = 0;
    Settings zeroBrightness = all;
    std::fill(std::begin(zeroBrightness.brightnessMultiplier),
              std::end(zeroBrightness.brightnessMultiplier), 0.0f);
    for (const Settings* s : {&zeroChannel, &zeroLayer, &zeroBrightness}) {
        out = run(*s, coef, est, 0.5f);
        for (int y = 0; y < kSize; ++y) {
            for (int x = 0; x < kSize; ++x) {
                const bool channelOnly = s == &zeroChannel;
                for (int c = 0; c < 3; ++c) {
                    if (!channelOnly || c == 1) {
                        EXPECT_EQ(at(out, x, y, c), at(coef, x, y, c));
                    }
                }
            }
        }
    }
}

TEST_F(NoiseRemoval, RemovalAmountZeroKeepsTheChannelAndTheApproximationNeverChanges) {
    const std::vector<float> coef = test::randomRgba(kSize, kSize, 41, -1.0f, 1.0f);
    Settings s;
    for (auto& level : s.thresholds) {
        for (auto& band : level) std::fill(std::begin(band), std::end(band), 0.9f);
    }
    s.removal = {0.0f, 1.0f, 0.25f};
    const std::vector<float> out = run(s, coef, coef, 0.5f);
    for (int y = 0; y < kSize; ++y) {
        for (int x = 0; x < kSize; ++x) {
            const bool approximation = x < 4 && y < 4;
            EXPECT_EQ(at(out, x, y, 0), at(coef, x, y, 0));
            // Every detail estimate is below 0.9: removed entirely, or three quarters kept.
            EXPECT_EQ(at(out, x, y, 1), approximation ? at(coef, x, y, 1) : 0.0f);
            EXPECT_FLOAT_EQ(at(out, x, y, 2),
                            approximation ? at(coef, x, y, 2) : 0.75f * at(coef, x, y, 2));
            EXPECT_EQ(at(out, x, y, 3), at(coef, x, y, 3));
        }
    }
}

TEST_F(NoiseRemoval, TexelsBeyondTheUsedRectangleAreNeverWritten) {
    // A 12 x 12 picture in the 16 x 16 texture: levels cover 12 and 6 texels.
    const std::vector<float> coef = test::randomRgba(kSize, kSize, 51, -1.0f, 1.0f);
    apply(Settings{});
    HostImage input = Plugin::makeImage(call(), kSize, kSize, GL_RGBA32F);
    ASSERT_TRUE(images().upload(input.texture, 0, kSize, kSize, coef.data()));
    HostImage output = Plugin::makeImage(call(), kSize, kSize, GL_RGBA32F);
    const std::vector<float> sevens(kSize * kSize * 4, 7.0f);
    ASSERT_TRUE(images().upload(output.texture, 0, kSize, kSize, sevens.data()));
    // Both records describe the 12 x 12 picture of their 16 x 16 textures.
    HostImage picture = input;
    picture.width = picture.height = 12;
    Plugin::updateImageExtents(picture);
    HostImage target = output;
    target.width = target.height = 12;
    Plugin::updateImageExtents(target);
    const int drawsBefore = drawsRecorded();
    {
        PassChain chain(call(), &picture, &target, false);
        Plugin::renderNoiseRemoval(call(), chain, input, 0, input, kLayer, 1, {1, 1, 1});
        chain.finish();
    }
    EXPECT_EQ(drawsRecorded() - drawsBefore, 1) << "one level, one pass";
    const std::vector<float> out = read(output);
    for (int y = 0; y < kSize; ++y) {
        for (int x = 0; x < kSize; ++x) {
            for (int c = 0; c < 4; ++c) {
                const float expected = x < 12 && y < 12 ? at(coef, x, y, c) : 7.0f;
                ASSERT_EQ(at(out, x, y, c), expected) << x << ", " << y << " channel " << c;
            }
        }
    }
    release(input);
    release(output);
}

// A uniform estimate of 1 gives a local magnitude of 273 / 271. With a threshold of 1, a
// multiplier of 2 removes every detail coefficient and one of 0.5 keeps it.
TEST_F(NoiseRemoval, BrightnessPicksItsMultiplierOnTheGridAndBeyondItsEnds) {
    const std::vector<float> coef = test::randomRgba(kSize, kSize, 61, 0.5f, 1.0f);
    const std::vector<float> ones(kSize * kSize * 4, 1.0f);
    const std::pair<float, int> cases[] = {
        {0.3f, 3}, {1.5f, 10}, {-0.2f, 0}, {0.0f, 0}, {1.0f, 10}};
    for (const auto& [b, band] : cases) {
        Settings s;
        for (auto& level : s.thresholds) {
            for (auto& bandThresholds : level)
                std::fill(std::begin(bandThresholds), std::end(bandThresholds), 1.0f);
        }
        std::fill(std::begin(s.brightnessMultiplier), std::end(s.brightnessMultiplier), 0.5f);
        s.brightnessMultiplier[band] = 2.0f;
        const std::vector<float> out = run(s, coef, ones, b);
        EXPECT_EQ(at(out, 12, 12, 0), 0.0f) << "brightness " << b << " takes m" << band;
        EXPECT_EQ(at(out, 5, 1, 0), 0.0f) << "brightness " << b << " takes m" << band;
        EXPECT_EQ(at(out, 1, 1, 0), at(coef, 1, 1, 0)) << "the approximation stays";
    }
}

// Hard thresholding of an isolated coefficient: only 41/271 of its own magnitude counts.
TEST_F(NoiseRemoval, AnIsolatedPeakIsJudgedByItsOwnWeightOnly) {
    std::vector<float> coef(kSize * kSize * 4, 0.0f);
    for (size_t i = 3; i < coef.size(); i += 4) coef[i] = 1.0f;
    coef[size_t((11 * kSize + 11) * 4)] = 1.0f;  // Y of HH at level 1
    for (float threshold : {0.16f, 0.14f}) {     // 41 / 271 = 0.1513
        Settings s;
        s.thresholds[0][0][0] = threshold;
        const std::vector<float> out = run(s, coef, coef, 0.5f);
        EXPECT_EQ(at(out, 11, 11, 0), threshold > 41.0f / 271.0f ? 0.0f : 1.0f) << threshold;
    }
}

}  // namespace
