// What the analysis tests and the benchmarks rely on in the synthetic clips: noise that
// behaves as a camera's, film's and a codec's does (correlated between neighbours, shot
// noise growing with light, grain peaking in the mid-tones, compression smoothing flat
// areas), flat areas at several levels among texture, an isFlat that refuses texture, and
// the same clip for the same recipe.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <optional>
#include <tuple>

#include "cli/metrics.h"
#include "footage/camera_clip.h"
#include "footage/random_source.h"

namespace {

using namespace ruvovav::footage;
using ruvovav::cli::psnr;
using ruvovav::media::Picture;

// Measures of noise written independently of the code that makes the clips.
struct Rect {
    int x = 0, y = 0, w = 0, h = 0;
};

const float* pixel(const Picture& p, int x, int y) {
    return &p.rgba[(size_t(y) * p.width + x) * 4];
}

double luma(const float* px) {
    return 0.2126 * px[0] + 0.7152 * px[1] + 0.0722 * px[2];
}

// The first flat 64x64 box whose mean luma lies in [lo, hi).
std::optional<Rect> flatBox(const Picture& clean, double lo, double hi) {
    for (int y = 0; y + 64 <= clean.height; y += 8)
        for (int x = 0; x + 64 <= clean.width; x += 8) {
            if (!isFlat(clean, x, y, 64, 64)) continue;
            double sum = 0;
            for (int v = y; v < y + 64; ++v)
                for (int u = x; u < x + 64; ++u) sum += luma(pixel(clean, u, v));
            if (sum / 4096 >= lo && sum / 4096 < hi) return Rect{x, y, 64, 64};
        }
    return std::nullopt;
}

// Lag-1 horizontal autocorrelation about the mean, and the variance, of one channel's noise
// in a box.
std::pair<double, double> noiseStats(const Picture& noisy, const Picture& clean, Rect r,
                                     int channel) {
    auto noise = [&](int x, int y) {
        return pixel(noisy, x, y)[channel] - pixel(clean, x, y)[channel];
    };
    double sum = 0;
    for (int y = r.y; y < r.y + r.h; ++y)
        for (int x = r.x; x < r.x + r.w; ++x) sum += noise(x, y);
    const double mean = sum / (r.w * r.h);
    double products = 0, squares = 0;
    for (int y = r.y; y < r.y + r.h; ++y)
        for (int x = r.x; x < r.x + r.w; ++x) {
            squares += (noise(x, y) - mean) * (noise(x, y) - mean);
            if (x + 1 < r.x + r.w) products += (noise(x, y) - mean) * (noise(x + 1, y) - mean);
        }
    return {(products / (r.h * (r.w - 1))) / (squares / (r.w * r.h)), squares / (r.w * r.h)};
}

// The sRGB decoding curve (IEC 61966-2-1).
double toLinear(double v) {
    return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
}

// Mean squared noise over the pixels whose clean value, as `level` gives it, lies in
// [lo, hi). `noise` returns NaN for pixels it leaves out (clipped ones, say).
template <typename Level, typename Noise>
double binnedPower(const Clip& clip, double lo, double hi, Level level, Noise noise) {
    double sum = 0, count = 0;
    for (size_t f = 0; f < clip.clean.size(); ++f)
        for (size_t i = 0; i < clip.clean[f].rgba.size(); i += 4) {
            const float* c = &clip.clean[f].rgba[i];
            const double l = level(c), d = noise(c, &clip.noisy[f].rgba[i]);
            if (l < lo || l >= hi || std::isnan(d)) continue;
            sum += d * d;
            ++count;
        }
    EXPECT_GT(count, 2000) << "too few pixels in [" << lo << ", " << hi << ")";
    return sum / count;
}

double meanPsnr(const Clip& clip) {
    double sum = 0;
    for (size_t f = 0; f < clip.clean.size(); ++f) sum += psnr(clip.noisy[f], clip.clean[f]);
    return sum / double(clip.clean.size());
}

ClipRecipe recipe(NoiseKind noise, uint32_t seed, int frames = 1) {
    ClipRecipe s;
    s.noise = noise, s.seed = seed, s.frames = frames;
    return s;
}

// Clips shared by several tests: making them is the slow part, under sanitizers above all.
const Clip& cameraClip() {
    static const Clip clip = makeClip(recipe(NoiseKind::Camera, 3, 2));
    return clip;
}

const Clip& grainClip() {
    static const Clip clip = makeClip(recipe(NoiseKind::FilmGrain, 3, 2));
    return clip;
}

// Demosaicing fills each missing value from neighbouring sites and grains are blobs a pixel
// or two across, so the noise of horizontal neighbours shares sources: white noise gives 0.
TEST(ClipNoise, IsCorrelatedBetweenNeighbours) {
    for (const auto& [clip, lowest, highest] :
         {std::tuple{&cameraClip(), 0.2, 0.95}, std::tuple{&grainClip(), 0.5, 0.95}}) {
        const auto box = flatBox(clip->clean[0], 0.2, 0.8);
        ASSERT_TRUE(box);
        for (int c = 0; c < 3; ++c) {
            const double r = noiseStats(clip->noisy[0], clip->clean[0], *box, c).first;
            EXPECT_GT(r, lowest) << "channel " << c;
            EXPECT_LT(r, highest) << "channel " << c;
        }
    }
}

// Photon counts in the shadows are small: Poisson's mean, variance and chance of no photon
// at all (exp(-mean)) must hold there, and the mean and variance where counts are large.
TEST(ClipNoise, PhotonCountsHaveTheirDistribution) {
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

// Shot noise: in linear light the variance is that of a photon count, which grows with the
// light, plus a constant read noise.
TEST(ClipNoise, CameraNoiseGrowsWithBrightnessInLinearLight) {
    // Green's noise in linear light, where shot noise is plain Poisson noise; not where clipped.
    auto level = [](const float* c) { return toLinear(c[1]); };
    auto noise = [](const float* c, const float* n) {
        return n[1] <= 0 || n[1] >= 1 ? std::nan("") : toLinear(n[1]) - toLinear(c[1]);
    };
    const double dark = binnedPower(cameraClip(), 0.02, 0.05, level, noise);
    const double mid = binnedPower(cameraClip(), 0.1, 0.25, level, noise);
    const double bright = binnedPower(cameraClip(), 0.35, 0.8, level, noise);
    EXPECT_GT(mid, 1.5 * dark);
    EXPECT_GT(bright, 1.5 * mid);
}

// Grain amplitude follows Y(1 - Y): about three times the variance at mid-grey as at 0.15.
TEST(ClipNoise, FilmGrainPeaksInTheMidTones) {
    auto level = [](const float* c) { return luma(c); };
    auto noise = [](const float* c, const float* n) {
        double sum = 0;
        for (int k = 0; k < 3; ++k) {
            if (n[k] <= 0 || n[k] >= 1) return std::nan("");
            sum += n[k] - c[k];
        }
        return sum / 3;
    };
    const double dark = binnedPower(grainClip(), 0.08, 0.25, level, noise);
    const double mid = binnedPower(grainClip(), 0.4, 0.6, level, noise);
    const double bright = binnedPower(grainClip(), 0.75, 0.92, level, noise);
    EXPECT_GT(mid, 2 * dark);
    EXPECT_GT(mid, 2 * bright);
}

// Strength 1 looks like high-ISO footage; half the deviation gains 20 log10(2) = 6.02 dB,
// a little less where clipping has already cut the darkest noise.
TEST(ClipNoise, PsnrIsThatOfHighIsoFootage) {
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

// A pan, so that frames mixed up on the way back would show. Heavy compression throws away
// most fine noise in flat areas and smears what is left.
TEST(ClipNoise, EncodingKeepsSizeAndOrderAndSmoothsFlatAreas) {
    ClipRecipe s = recipe(NoiseKind::Camera, 4, 3);
    s.motion = Motion::Pan;
    const Clip plain = makeClip(s);
    s.crf = 23;
    const Clip light = makeClip(s);
    s.crf = 35;
    const Clip heavy = makeClip(s);
    ASSERT_EQ(light.noisy.size(), 3u);
    for (size_t f = 0; f < 3; ++f) {
        EXPECT_EQ(light.clean[f].rgba, plain.clean[f].rgba);
        ASSERT_EQ(light.noisy[f].width, 384);
        ASSERT_EQ(light.noisy[f].height, 256);
        const double matching = psnr(light.noisy[f], plain.noisy[f]);
        EXPECT_GT(matching, 24.0) << "frame " << f;
        EXPECT_LT(psnr(light.noisy[f], plain.noisy[(f + 1) % 3]), matching - 2) << "frame " << f;

        const Picture clean = lumaOnly(plain.clean[f]);
        const Picture before = lumaOnly(plain.noisy[f]), after = lumaOnly(heavy.noisy[f]);
        const auto box = flatBox(clean, 0.2, 0.8);
        ASSERT_TRUE(box);
        const auto [correlationBefore, varianceBefore] = noiseStats(before, clean, *box, 0);
        const auto [correlationAfter, varianceAfter] = noiseStats(after, clean, *box, 0);
        EXPECT_LT(varianceAfter, 0.5 * varianceBefore);
        EXPECT_GT(correlationAfter, correlationBefore + 0.2);
    }
}

// The benchmarks compare runs on the same footage: a recipe is one clip, straight RGBA in
// range even where the noise clips, at odd and tiny sizes too.
TEST(ClipScene, SameRecipeSameClipInRange) {
    for (auto [width, height, kind] :
         {std::tuple{101, 67, NoiseKind::Camera}, std::tuple{9, 13, NoiseKind::FilmGrain}}) {
        ClipRecipe s = recipe(kind, 2, 2);
        s.width = width, s.height = height, s.strength = 3, s.motion = Motion::Pan;
        const Clip clip = makeClip(s), again = makeClip(s);
        ASSERT_EQ(clip.noisy.size(), 2u);
        for (size_t f = 0; f < 2; ++f) {
            EXPECT_EQ(clip.clean[f].rgba, again.clean[f].rgba);
            EXPECT_EQ(clip.noisy[f].rgba, again.noisy[f].rgba);
            for (const Picture* p : {&clip.clean[f], &clip.noisy[f]}) {
                ASSERT_EQ(p->rgba.size(), size_t(width * height * 4));
                for (size_t i = 0; i < p->rgba.size(); ++i) {
                    ASSERT_GE(p->rgba[i], i % 4 == 3 ? 1.0f : 0.0f);
                    ASSERT_LE(p->rgba[i], 1.0f);
                }
            }
        }
    }
}

// The noiseless scene is the clean frame of a grain clip at strength 0.
Picture scene(uint32_t seed) {
    ClipRecipe s = recipe(NoiseKind::FilmGrain, seed);
    s.strength = 0;
    return makeClip(s).clean[0];
}

// Every layout offers analysis boxes in the shadows, the mid-tones and the highlights, with
// headroom for the noise, while much of the frame is texture; each seed lays the scene out
// anew, so that clips of several seeds are several scenes.
TEST(ClipScene, FlatAreasAtThreeLevelsAmongTexture) {
    const std::pair<double, double> kLevels[] = {{0.05, 0.3}, {0.3, 0.65}, {0.65, 0.95}};
    Picture previous;
    for (uint32_t seed = 1; seed <= 8; ++seed) {
        const Picture p = scene(seed);
        if (seed > 1) {
            double difference = 0;
            for (size_t i = 0; i < p.rgba.size(); ++i)
                difference += std::abs(p.rgba[i] - previous.rgba[i]);
            EXPECT_GT(difference / double(p.rgba.size()), 0.05)
                << "seeds " << seed - 1 << ", " << seed;
        }
        previous = p;
        for (auto [lo, hi] : kLevels) {
            const auto box = flatBox(p, lo, hi);
            ASSERT_TRUE(box) << "seed " << seed << ": no flat box with luma in " << lo << ".."
                             << hi;
            for (int y = box->y; y < box->y + box->h; ++y)
                for (int x = box->x; x < box->x + box->w; ++x)
                    for (int c = 0; c < 3; ++c) {
                        ASSERT_GE(pixel(p, x, y)[c], 0.07f) << "seed " << seed;
                        ASSERT_LE(pixel(p, x, y)[c], 0.93f) << "seed " << seed;
                    }
        }
        int flat = 0, all = 0;
        for (int y = 0; y + 16 <= p.height; y += 16)
            for (int x = 0; x + 16 <= p.width; x += 16, ++all) flat += isFlat(p, x, y, 16, 16);
        EXPECT_GT(double(flat) / all, 0.25) << "seed " << seed;
        EXPECT_LT(double(flat) / all, 0.55) << "seed " << seed;
    }
}

// Frame n sees the scene moved by n steps: frame 0 resampled bilinearly at the offset.
TEST(ClipScene, PanMovesBySubPixelSteps) {
    ClipRecipe s = recipe(NoiseKind::FilmGrain, 6, 3);
    s.strength = 0, s.motion = Motion::Pan;
    const Clip clip = makeClip(s);
    const Picture& first = clip.clean[0];
    const double dx = 2 * kPanStepX, dy = 2 * kPanStepY;
    for (int y = 0; y + dy + 1 < first.height; ++y)
        for (int x = 0; x + dx + 1 < first.width; ++x) {
            const int x0 = int(x + dx), y0 = int(y + dy);
            const double fx = x + dx - x0, fy = y + dy - y0;
            for (int c = 0; c < 3; ++c) {
                const double expected = (1 - fx) * (1 - fy) * pixel(first, x0, y0)[c] +
                                        fx * (1 - fy) * pixel(first, x0 + 1, y0)[c] +
                                        (1 - fx) * fy * pixel(first, x0, y0 + 1)[c] +
                                        fx * fy * pixel(first, x0 + 1, y0 + 1)[c];
                ASSERT_NEAR(pixel(clip.clean[2], x, y)[c], expected, 1e-5) << x << "," << y;
            }
        }
}

// The analysis tests call a box over texture by isFlat: shading passes, a faint step, a
// ripple, a weave and an edge of colour alone (same luma) do not.
TEST(ClipIsFlat, PassesShadingAndRejectsEdgesAndTexture) {
    Picture p{64, 64, std::vector<float>(64 * 64 * 4, 1.0f)};
    auto changed = [&](auto change) {
        Picture q = p;
        for (int y = 0; y < 64; ++y)
            for (int x = 0; x < 64; ++x) change(&q.rgba[(size_t(y) * 64 + x) * 4], x, y);
        return q;
    };
    p = changed([](float* px, int x, int y) {
        const float v = 0.2f + 0.004f * x + 0.002f * y;  // a sky's gradient
        px[0] = v, px[1] = 0.9f * v, px[2] = 1.1f * v;
    });
    EXPECT_TRUE(isFlat(p, 0, 0, 64, 64));
    EXPECT_FALSE(isFlat(p, 1, 0, 64, 64)) << "reaches outside the picture";
    EXPECT_FALSE(isFlat(p, -1, 0, 32, 32)) << "starts outside the picture";

    const Picture edge = changed([](float* px, int x, int) { px[1] += x >= 32 ? 0.05f : 0.0f; });
    EXPECT_FALSE(isFlat(edge, 0, 0, 64, 64));
    EXPECT_TRUE(isFlat(edge, 34, 0, 30, 64)) << "beside the edge";
    // A ripple of +-0.04 (steps below 0.008, but no plane), a weave, and an edge of colour
    // alone (less red, more green, the same luma).
    const Picture ripple = changed([](float* px, int x, int) {
        for (int c = 0; c < 3; ++c) px[c] += 0.04f * float(std::sin(2 * std::numbers::pi * x / 32));
    });
    const Picture weave = changed([](float* px, int x, int y) {
        for (int c = 0; c < 3; ++c) px[c] += (x / 2 + y / 2) % 2 ? 0.02f : -0.02f;
    });
    const Picture colour = changed([](float* px, int x, int) {
        if (x >= 32) px[0] -= 0.7152f * 0.1f / 0.2126f, px[1] += 0.1f;
    });
    for (const Picture* q : {&ripple, &weave, &colour}) EXPECT_FALSE(isFlat(*q, 0, 0, 64, 64));
}

}  // namespace
