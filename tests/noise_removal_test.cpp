// The shrinkage pass on our host's context over a 16 x 16, two-level decomposition, by hand:
// a uniform estimate of 1 has magnitude 273/271, an isolated one its own weight, 41/271.
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
#include "render/render_settings.h"
#include "tests/plugin_gl_fixture.h"

namespace {

using Plugin::PassChain;
using Vec3 = Plugin::plugin_glsl_types::genVec3<float>;

constexpr int kSize = 16;
constexpr int kLevels = 2;
constexpr int kLayer = 3;
constexpr float kUniformMagnitude = 273.0f / 271.0f;

// Everything the pass depends on, in the test's own terms.
struct Settings {
    float thresholds[kLevels][3][3] = {};  // [level - 1][band HH, LH, HL][channel], fractions
    float channelMultiplier[3] = {1, 1, 1};
    float layerMultiplier = 1;
    float brightnessMultiplier[11] = {1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1};
    float softness = 0;  // percent
    Vec3 removal = {1, 1, 1};

    Settings& allThresholds(float t) {
        for (auto& level : thresholds) {
            for (auto& band : level) std::fill(std::begin(band), std::end(band), t);
        }
        return *this;
    }
};

// Texel (x, y) channel c of a 16 x 16 RGBA image.
float at(const std::vector<float>& rgba, int x, int y, int c) {
    return rgba[size_t((y * kSize + x) * 4 + c)];
}

// {level, band (0 HH, 1 LH, 2 HL)} holding texel (x, y); level 0 is the approximation.
std::pair<int, int> subBandOf(int x, int y) {
    for (int k = 1; k <= kLevels; ++k) {
        const int half = kSize >> k;
        if (x >= 2 * half || y >= 2 * half) continue;
        const bool right = x >= half;
        const bool top = y >= half;
        if (right || top) return {k, right && top ? 0 : (right ? 1 : 2)};
    }
    return {0, 0};
}

const std::vector<float> kOnes(kSize* kSize * 4, 1.0f);

// Every texel and channel of a 16 x 16 result against expected(x, y, c).
template <typename Expected>
void expectEveryTexel(const std::vector<float>& out, Expected expected, const std::string& what) {
    for (int y = 0; y < kSize; ++y) {
        for (int x = 0; x < kSize; ++x) {
            for (int c = 0; c < 4; ++c) {
                ASSERT_FLOAT_EQ(at(out, x, y, c), expected(x, y, c))
                    << what << " at " << x << ", " << y << " channel " << c;
            }
        }
    }
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
        return makeFilledImage(kSize, kSize, rgba, GL_RGBA32F);
    }
    // The pass over `coef`, estimate `est`, brightness b, into an output pre-filled with 7.
    std::vector<float> run(const Settings& s, const std::vector<float>& coef,
                           const std::vector<float>& est, float b) {
        apply(s);
        HostImage input = floatImage(coef);
        HostImage estimate = floatImage(est);
        HostImage brightness = floatImage(std::vector<float>(kSize * kSize * 4, b));
        HostImage output = floatImage(std::vector<float>(kSize * kSize * 4, 7.0f));
        {
            PassChain chain(call(), &input, &output, false);
            Plugin::renderNoiseRemoval(call(), chain, brightness, 0, estimate, kLevels,
                                       Plugin::readNoiseRemovalSettings(call(), kLayer, kLevels),
                                       s.removal);
            EXPECT_EQ(chain.currentSource(), &output) << "the chain advanced once";
            chain.finish();
        }
        std::vector<float> out = read(output);
        release({input, estimate, brightness, output});
        return out;
    }
};

// One threshold above the uniform magnitude at a time removes exactly its own coefficients.
TEST_F(NoiseRemoval, EachThresholdActsOnItsOwnLevelBandAndChannel) {
    const std::vector<float> coef = test::randomRgba(kSize, kSize, 21, -1.0f, 1.0f);
    for (int level = 1; level <= kLevels; ++level) {
        for (int band = 0; band < 3; ++band) {
            const int channel = (band + level) % 3;
            Settings s;
            s.thresholds[level - 1][band][channel] = 2.0f;
            expectEveryTexel(
                run(s, coef, kOnes, 0.5f),
                [&](int x, int y, int c) {
                    const bool inBand = subBandOf(x, y) == std::pair{level, band};
                    return inBand && c == channel ? 0.0f : at(coef, x, y, c);
                },
                "level " + std::to_string(level) + " band " + std::to_string(band));
        }
    }
}

// Hard thresholding of an isolated coefficient: only 41/271 = 0.1513 of it counts.
TEST_F(NoiseRemoval, AnIsolatedPeakIsJudgedByItsOwnWeightOnly) {
    std::vector<float> coef(kSize * kSize * 4, 0.0f);
    for (size_t i = 3; i < coef.size(); i += 4) coef[i] = 1.0f;
    coef[size_t((11 * kSize + 11) * 4)] = 1.0f;  // Y of HH at level 1
    for (float threshold : {0.16f, 0.14f}) {
        Settings s;
        s.thresholds[0][0][0] = threshold;
        const std::vector<float> out = run(s, coef, coef, 0.5f);
        EXPECT_EQ(at(out, 11, 11, 0), threshold > 41.0f / 271.0f ? 0.0f : 1.0f) << threshold;
    }
}

// The weighted magnitude over a random estimate, against a sum written here: the 5 x 5
// weights, the 1/271 and the texture's edge repeated outwards. Hard thresholds halfway
// through the magnitudes; texels within float noise of the threshold are not judged.
TEST_F(NoiseRemoval, TheMagnitudeWeighsTheNeighbourhoodRepeatingTheEdges) {
    const int weights[5] = {1, 4, 7, 4, 1};  // outer product, less 2 on the cross, 8 centre
    const std::vector<float> coef = test::randomRgba(kSize, kSize, 71, 0.5f, 1.0f);
    const std::vector<float> est = test::randomRgba(kSize, kSize, 72, -0.1f, 0.1f);
    const auto magnitude = [&](int x, int y, int c) {
        double sum = 0;
        for (int j = -2; j <= 2; ++j) {
            for (int i = -2; i <= 2; ++i) {
                int w = weights[i + 2] * weights[j + 2];
                if (i == 0 && j == 0) {
                    w -= 8;
                } else if (i == 0 || j == 0) {
                    w -= std::abs(i + j) == 1 ? 2 : 0;
                }
                const int sx = std::clamp(x + i, 0, kSize - 1);
                const int sy = std::clamp(y + j, 0, kSize - 1);
                sum += w * std::fabs(double(at(est, sx, sy, c)));
            }
        }
        return sum / 271.0;
    };
    const float threshold = 0.05f;
    const std::vector<float> out = run(Settings().allThresholds(threshold), coef, est, 0.5f);
    int judged = 0;
    for (int y = 0; y < kSize; ++y) {
        for (int x = 0; x < kSize; ++x) {
            for (int c = 0; c < 3; ++c) {
                const double m = magnitude(x, y, c);
                if (subBandOf(x, y).first == 0 || std::fabs(m - threshold) < 1e-5) continue;
                ++judged;
                EXPECT_EQ(at(out, x, y, c), m < threshold ? 0.0f : at(coef, x, y, c))
                    << x << ", " << y << " channel " << c << ": magnitude " << m;
            }
        }
    }
    EXPECT_GT(judged, 700);
}

// Fully soft, t scaled by brightness runs t / 2 .. 3t / 2. At 0.35, between 0.5 (0.3) and 2
// (0.4), t = 1.25: (273/271 - 0.625) / 1.25 is kept. At 0.3, t = 0.5: kept whole.
TEST_F(NoiseRemoval, SoftThresholdsBetweenBrightnessGridPointsByHand) {
    const std::vector<float> coef = test::randomRgba(kSize, kSize, 31, 0.5f, 1.0f);
    Settings s;
    s.allThresholds(1.0f);
    s.softness = 100.0f;
    s.brightnessMultiplier[3] = 0.5f;
    s.brightnessMultiplier[4] = 2.0f;
    const float kept = (kUniformMagnitude - 0.625f) / 1.25f;
    std::vector<float> out = run(s, coef, kOnes, 0.35f);
    for (auto [x, y] : {std::pair{12, 12}, {12, 3}, {3, 12}, {5, 6}}) {
        for (int c = 0; c < 3; ++c) {
            EXPECT_NEAR(at(out, x, y, c), kept * at(coef, x, y, c), 1e-5) << x << ", " << y;
        }
    }
    EXPECT_EQ(at(out, 1, 1, 0), at(coef, 1, 1, 0)) << "the approximation stays";
    out = run(s, coef, kOnes, 0.3f);
    EXPECT_EQ(at(out, 12, 12, 0), at(coef, 12, 12, 0));
}

TEST_F(NoiseRemoval, AZeroMultiplierLeavesItsCoefficientsAlone) {
    const std::vector<float> coef = test::randomRgba(kSize, kSize, 31, -1.0f, 1.0f);
    const std::vector<float> est = test::randomRgba(kSize, kSize, 32, -0.1f, 0.1f);
    // Thresholds far above every estimate: without a zero multiplier all detail would go.
    Settings zeroChannel = Settings().allThresholds(0.9f);
    zeroChannel.channelMultiplier[1] = 0;
    Settings zeroLayer = Settings().allThresholds(0.9f);
    zeroLayer.layerMultiplier = 0;
    Settings zeroBrightness = Settings().allThresholds(0.9f);
    std::fill(std::begin(zeroBrightness.brightnessMultiplier),
              std::end(zeroBrightness.brightnessMultiplier), 0.0f);
    for (const Settings* s : {&zeroChannel, &zeroLayer, &zeroBrightness}) {
        expectEveryTexel(
            run(*s, coef, est, 0.5f),
            [&](int x, int y, int c) {
                const bool removed =
                    s == &zeroChannel && c != 1 && c != 3 && subBandOf(x, y).first > 0;
                return removed ? 0.0f : at(coef, x, y, c);
            },
            s == &zeroChannel ? "U" : (s == &zeroLayer ? "layer" : "brightness"));
    }
}

// Every detail estimate is below 0.9: removal 0 keeps Y, 1 removes U, 0.25 keeps 3/4 of V.
TEST_F(NoiseRemoval, RemovalAmountSharesTheResultPerChannel) {
    const std::vector<float> coef = test::randomRgba(kSize, kSize, 41, -1.0f, 1.0f);
    Settings s = Settings().allThresholds(0.9f);
    s.removal = {0.0f, 1.0f, 0.25f};
    const float kept[4] = {1.0f, 0.0f, 0.75f, 1.0f};
    expectEveryTexel(
        run(s, coef, coef, 0.5f),
        [&](int x, int y, int c) {
            return subBandOf(x, y).first > 0 ? kept[c] * at(coef, x, y, c) : at(coef, x, y, c);
        },
        "removal");
}

TEST_F(NoiseRemoval, TexelsBeyondTheUsedRectangleAreNeverWritten) {
    // A 12 x 12 picture in the 16 x 16 texture: levels cover 12 and 6 texels.
    const std::vector<float> coef = test::randomRgba(kSize, kSize, 51, -1.0f, 1.0f);
    apply(Settings{});
    HostImage input = floatImage(coef);
    HostImage output = floatImage(std::vector<float>(kSize * kSize * 4, 7.0f));
    HostImage picture = input;
    picture.width = picture.height = 12;
    Plugin::updateImageExtents(picture);
    HostImage target = output;
    target.width = target.height = 12;
    Plugin::updateImageExtents(target);
    const int drawsBefore = drawsRecorded();
    {
        PassChain chain(call(), &picture, &target, false);
        Plugin::renderNoiseRemoval(call(), chain, input, 0, input, 1,
                                   Plugin::readNoiseRemovalSettings(call(), kLayer, 1), {1, 1, 1});
        chain.finish();
    }
    EXPECT_EQ(drawsRecorded() - drawsBefore, 1) << "one level, one pass";
    expectEveryTexel(
        read(output),
        [&](int x, int y, int c) { return x < 12 && y < 12 ? at(coef, x, y, c) : 7.0f; }, "");
    release({input, output});
}

// Against the magnitude 273/271, threshold 1 times 2 removes detail, times 0.5 keeps it.
TEST_F(NoiseRemoval, BrightnessPicksItsMultiplierOnTheGridAndBeyondItsEnds) {
    const std::vector<float> coef = test::randomRgba(kSize, kSize, 61, 0.5f, 1.0f);
    const std::pair<float, int> cases[] = {
        {0.3f, 3}, {1.5f, 10}, {-0.2f, 0}, {0.0f, 0}, {1.0f, 10}};
    for (const auto& [b, band] : cases) {
        Settings s = Settings().allThresholds(1.0f);
        std::fill(std::begin(s.brightnessMultiplier), std::end(s.brightnessMultiplier), 0.5f);
        s.brightnessMultiplier[band] = 2.0f;
        const std::vector<float> out = run(s, coef, kOnes, b);
        EXPECT_EQ(at(out, 12, 12, 0), 0.0f) << "brightness " << b << " takes m" << band;
        EXPECT_EQ(at(out, 5, 1, 0), 0.0f) << "brightness " << b << " takes m" << band;
        EXPECT_EQ(at(out, 1, 1, 0), at(coef, 1, 1, 0)) << "the approximation stays";
    }
}

}  // namespace
