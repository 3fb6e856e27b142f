// The synthetic clips' noise must behave as a camera's, film's and a codec's does: correlated
// between neighbours, shot noise growing with light, grain peaking in the mid-tones, and
// compression smoothing flat areas.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>

#include "tests/support/camera_clip.h"
#include "tests/support/noise_measures.h"
#include "tests/support/random_source.h"

namespace {

using namespace ruvovav::testclips;
using namespace ruvovav::testclips::measures;

// Clips shared by several tests: making them is the slow part, under sanitizers above all.
const Clip& cameraClip() {
    static const Clip clip = makeClip(recipe(NoiseKind::Camera, 3, 2));
    return clip;
}

const Clip& grainClip() {
    static const Clip clip = makeClip(recipe(NoiseKind::FilmGrain, 3, 2));
    return clip;
}

double meanChannelNoise(const float* c, const float* n) {
    double sum = 0;
    for (int k = 0; k < 3; ++k) {
        if (n[k] <= 0 || n[k] >= 1) return std::nan("");
        sum += n[k] - c[k];
    }
    return sum / 3;
}

// The estimator itself, on series whose correlation is known: none for white noise, and 1/2
// for sums of two neighbouring white values.
TEST(ClipNoiseMeasures, LagOneCorrelationOfKnownSeries) {
    std::mt19937 generator(7);
    std::normal_distribution<double> unit;
    std::vector<std::vector<double>> white(64), summed(64);
    for (int y = 0; y < 64; ++y) {
        double previous = unit(generator);
        for (int x = 0; x < 64; ++x) {
            const double next = unit(generator);
            white[size_t(y)].push_back(next);
            summed[size_t(y)].push_back(previous + next);
            previous = next;
        }
    }
    EXPECT_NEAR(lagOneCorrelation(white), 0.0, 0.05);
    EXPECT_NEAR(lagOneCorrelation(summed), 0.5, 0.05);
}

// Photon counts: Poisson's mean, variance and chance of no photon at all (exp(-mean)) hold
// where counts are small, and the mean and variance still hold where they are large.
TEST(ClipRandomSource, PoissonCountsHaveTheirDistribution) {
    RandomSource random(12345);
    for (double mean : {0.5, 3.0, 20.0, 400.0}) {
        const int n = 100000;
        double sum = 0, squares = 0, zeros = 0;
        for (int i = 0; i < n; ++i) {
            const double k = random.poisson(mean);
            ASSERT_EQ(k, std::floor(k));
            sum += k, squares += k * k, zeros += k == 0;
        }
        const double m = sum / n, variance = squares / n - m * m;
        EXPECT_NEAR(m, mean, 4 * std::sqrt(mean / n)) << "mean " << mean;
        EXPECT_NEAR(variance / mean, 1.0, 0.03) << "mean " << mean;
        if (mean < 10) {
            EXPECT_NEAR(zeros / n, std::exp(-mean), 0.005) << "mean " << mean;
        }
    }
}

// Demosaicing fills each missing value from neighbouring sites, so the noise of horizontal
// neighbours shares sources: white noise would give about 0.
TEST(CameraNoise, IsCorrelatedBetweenNeighbours) {
    const Clip& clip = cameraClip();
    const auto box = flatBox(clip.clean[0], 0.2, 0.8);
    ASSERT_TRUE(box);
    for (int c = 0; c < 3; ++c)
        EXPECT_GT(noiseCorrelation(clip.noisy[0], clip.clean[0], *box, c), 0.2) << "channel " << c;
}

// Where there is nothing to interpolate across, demosaicing, white balance and encoding
// undo the mosaic exactly: the noiseless camera frame is the scene itself.
TEST(CameraNoise, CleanFrameIsTheSceneInFlatAreas) {
    ClipRecipe grain = recipe(NoiseKind::FilmGrain, 3);
    grain.strength = 0;
    const Picture scene = makeClip(grain).clean[0];
    const Picture& clean = cameraClip().clean[0];
    int boxes = 0;
    for (int y = 0; y + 32 <= scene.height; y += 32)
        for (int x = 0; x + 32 <= scene.width; x += 32) {
            if (!isFlat(scene, x - 2, y - 2, 36, 36)) continue;  // a margin for the kernel
            ++boxes;
            for (int v = y; v < y + 32; ++v)
                for (int u = x; u < x + 32; ++u)
                    for (int c = 0; c < 3; ++c)
                        ASSERT_NEAR(pixel(clean, u, v)[c], pixel(scene, u, v)[c], 2e-3)
                            << u << "," << v << " channel " << c;
        }
    EXPECT_GT(boxes, 10);
}

// Shot noise: in linear light the variance is that of a photon count, which grows with the
// light, plus a constant read noise.
TEST(CameraNoise, GrowsWithBrightnessInLinearLight) {
    const Clip& clip = cameraClip();
    const double dark = binnedPower(clip, 0.02, 0.05, greenLevel, linearGreenNoise);
    const double mid = binnedPower(clip, 0.1, 0.25, greenLevel, linearGreenNoise);
    const double bright = binnedPower(clip, 0.35, 0.8, greenLevel, linearGreenNoise);
    EXPECT_GT(mid, 1.5 * dark);
    EXPECT_GT(bright, 1.5 * mid);
}

// Strength scales the standard deviation: half the strength, a quarter of the variance.
TEST(CameraNoise, DeviationScalesWithStrength) {
    ClipRecipe half = recipe(NoiseKind::Camera, 3, 2);
    half.strength = 0.5f;
    const double full = binnedPower(cameraClip(), 0.1, 0.25, greenLevel, linearGreenNoise);
    const double quarter = binnedPower(makeClip(half), 0.1, 0.25, greenLevel, linearGreenNoise);
    EXPECT_NEAR(full / quarter, 4.0, 0.5);
}

TEST(CameraNoise, NoneAtStrengthZero) {
    ClipRecipe none = recipe(NoiseKind::Camera, 3);
    none.strength = 0;
    const Clip clip = makeClip(none);
    EXPECT_EQ(clip.noisy[0].rgba, clip.clean[0].rgba);
}

// Grain amplitude follows Y(1 - Y): about three times the variance at mid-grey as at 0.15.
TEST(FilmGrain, PeaksInTheMidTones) {
    auto level = [](const float* c) { return luma(c); };
    const double dark = binnedPower(grainClip(), 0.08, 0.25, level, meanChannelNoise);
    const double mid = binnedPower(grainClip(), 0.4, 0.6, level, meanChannelNoise);
    const double bright = binnedPower(grainClip(), 0.75, 0.92, level, meanChannelNoise);
    EXPECT_GT(mid, 2 * dark);
    EXPECT_GT(mid, 2 * bright);
}

// Grains are blobs about a pixel or two across: strongly, but not wholly, correlated.
TEST(FilmGrain, IsCorrelatedBetweenNeighbours) {
    const Clip& clip = grainClip();
    const auto box = flatBox(clip.clean[0], 0.2, 0.8);
    ASSERT_TRUE(box);
    for (int c = 0; c < 3; ++c) {
        const double r = noiseCorrelation(clip.noisy[0], clip.clean[0], *box, c);
        EXPECT_GT(r, 0.5) << "channel " << c;
        EXPECT_LT(r, 0.95) << "channel " << c;
    }
}

// Strength 1 looks like high-ISO footage; half the deviation gains 20 log10(2) = 6.02 dB,
// a little less where clipping has already cut the darkest noise.
TEST(NoisyClips, PsnrIsThatOfHighIsoFootage) {
    for (NoiseKind kind : {NoiseKind::Camera, NoiseKind::FilmGrain}) {
        ClipRecipe s = recipe(kind, 5);
        const double full = meanPsnr(makeClip(s));
        s.strength = 0.5f;
        const double half = meanPsnr(makeClip(s));
        EXPECT_GT(full, 26.0);
        EXPECT_LT(full, 32.0);
        EXPECT_NEAR(half - full, 6.0, 1.0);
    }
}

// Luma in every channel: the codec keeps luma at full resolution and halves chroma.
Picture lumaOnly(const Picture& p) {
    Picture out = p;
    for (size_t i = 0; i < out.rgba.size(); i += 4)
        std::fill_n(&out.rgba[i], 3, float(luma(&p.rgba[i])));
    return out;
}

// A pan, so that frames mixed up on the way back would show.
class EncodedClip : public testing::Test {
protected:
    static ClipRecipe panning(int crf) {
        ClipRecipe s = recipe(NoiseKind::Camera, 4, 3);
        s.motion = Motion::Pan;
        s.crf = crf;
        return s;
    }
    static const Clip& plain() {
        static const Clip clip = makeClip(panning(-1));
        return clip;
    }
};

TEST_F(EncodedClip, KeepsSizeOrderAndCloseness) {
    const Clip clip = makeClip(panning(23));
    ASSERT_EQ(clip.noisy.size(), 3u);
    for (size_t f = 0; f < 3; ++f) {
        EXPECT_EQ(clip.clean[f].rgba, plain().clean[f].rgba);
        ASSERT_EQ(clip.noisy[f].width, 384);
        ASSERT_EQ(clip.noisy[f].height, 256);
        const double matching = psnr(clip.noisy[f], plain().noisy[f]);
        EXPECT_GT(matching, 24.0) << "frame " << f;
        EXPECT_GT(psnr(clip.noisy[f], plain().clean[f]), 24.0) << "frame " << f;
        const size_t other = (f + 1) % 3;
        EXPECT_LT(psnr(clip.noisy[f], plain().noisy[other]), matching - 2) << "frame " << f;
    }
}

// Heavy compression throws away most fine noise in flat areas and smears what is left.
TEST_F(EncodedClip, HeavyCompressionSmoothsFlatAreas) {
    const Clip clip = makeClip(panning(35));
    for (size_t f = 0; f < 3; ++f) {
        const Picture clean = lumaOnly(plain().clean[f]);
        const Picture before = lumaOnly(plain().noisy[f]), after = lumaOnly(clip.noisy[f]);
        const auto box = flatBox(clean, 0.2, 0.8);
        ASSERT_TRUE(box);
        EXPECT_LT(noiseVariance(after, clean, *box, 0),
                  0.5 * noiseVariance(before, clean, *box, 0));
        EXPECT_GT(noiseCorrelation(after, clean, *box, 0),
                  noiseCorrelation(before, clean, *box, 0) + 0.2);
    }
}

}  // namespace
