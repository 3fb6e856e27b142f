// The synthetic clips' scene and motion, and the measures the tests rely on: determinism,
// flat areas at several brightness levels among texture, a sub-pixel pan, isFlat and PSNR.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <stdexcept>
#include <tuple>
#include <utility>

#include "tests/support/camera_clip.h"
#include "tests/support/noise_measures.h"

namespace {

using namespace ruvovav::testclips;
using namespace ruvovav::testclips::measures;

Picture filled(int width, int height, float r, float g, float b) {
    Picture p{width, height, {}};
    for (int i = 0; i < width * height; ++i) p.rgba.insert(p.rgba.end(), {r, g, b, 1.0f});
    return p;
}

float* at(Picture& p, int x, int y) {
    return &p.rgba[(size_t(y) * p.width + x) * 4];
}

// The noiseless scene is the clean frame of a grain clip at strength 0.
Picture scene(uint32_t seed) {
    ClipRecipe s = recipe(NoiseKind::FilmGrain, seed);
    s.strength = 0;
    return makeClip(s).clean[0];
}

// Share of the frame's 16x16 blocks that pass isFlat.
double flatShare(const Picture& p) {
    int flat = 0, all = 0;
    for (int y = 0; y + 16 <= p.height; y += 16)
        for (int x = 0; x + 16 <= p.width; x += 16, ++all) flat += isFlat(p, x, y, 16, 16);
    return double(flat) / all;
}

TEST(ClipScene, SameRecipeSameClip) {
    for (NoiseKind kind : {NoiseKind::Camera, NoiseKind::FilmGrain}) {
        ClipRecipe s = recipe(kind, 11, 2);
        s.width = 128, s.height = 96, s.motion = Motion::Pan;
        const Clip a = makeClip(s), b = makeClip(s);
        for (size_t f = 0; f < 2; ++f) {
            EXPECT_EQ(a.clean[f].rgba, b.clean[f].rgba);
            EXPECT_EQ(a.noisy[f].rgba, b.noisy[f].rgba);
        }
    }
}

TEST(ClipScene, SeedsChangeTheLayout) {
    const Picture a = scene(1), b = scene(2);
    double difference = 0;
    for (size_t i = 0; i < a.rgba.size(); ++i) difference += std::abs(a.rgba[i] - b.rgba[i]);
    EXPECT_GT(difference / double(a.rgba.size()), 0.05);
    int changed = 0, all = 0;
    for (int y = 0; y + 16 <= a.height; y += 16)
        for (int x = 0; x + 16 <= a.width; x += 16, ++all)
            changed += isFlat(a, x, y, 16, 16) != isFlat(b, x, y, 16, 16);
    EXPECT_GT(changed, all / 10);
}

// Odd and tiny sizes too, and a strength that drives much of the noise into clipping.
TEST(ClipScene, FramesAreStraightRgbaInRange) {
    for (auto [width, height, kind] :
         {std::tuple{101, 67, NoiseKind::Camera}, std::tuple{8, 8, NoiseKind::Camera},
          std::tuple{9, 13, NoiseKind::FilmGrain}}) {
        ClipRecipe s = recipe(kind, 2, 2);
        s.width = width, s.height = height, s.strength = 3, s.motion = Motion::Pan;
        const Clip clip = makeClip(s);
        ASSERT_EQ(clip.clean.size(), 2u);
        ASSERT_EQ(clip.noisy.size(), 2u);
        for (const auto* frames : {&clip.clean, &clip.noisy})
            for (const Picture& p : *frames) {
                ASSERT_EQ(p.width, width);
                ASSERT_EQ(p.height, height);
                ASSERT_EQ(p.rgba.size(), size_t(width * height * 4));
                for (size_t i = 0; i < p.rgba.size(); ++i) {
                    if (i % 4 == 3) {
                        ASSERT_EQ(p.rgba[i], 1.0f);
                    }
                    ASSERT_GE(p.rgba[i], 0.0f);
                    ASSERT_LE(p.rgba[i], 1.0f);
                }
            }
    }
}

// Every layout offers analysis boxes in the shadows, the mid-tones and the highlights, with
// headroom for the noise, while much of the frame is texture.
TEST(ClipScene, FlatAreasAtThreeLevelsAmongTexture) {
    const std::pair<double, double> kLevels[] = {{0.05, 0.3}, {0.3, 0.65}, {0.65, 0.95}};
    for (uint32_t seed = 1; seed <= 8; ++seed) {
        const Picture p = scene(seed);
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
        EXPECT_GT(flatShare(p), 0.25) << "seed " << seed;
        EXPECT_LT(flatShare(p), 0.55) << "seed " << seed;
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
    s.motion = Motion::Still;
    const Clip still = makeClip(s);
    EXPECT_EQ(still.clean[2].rgba, still.clean[0].rgba);
}

TEST(ClipIsFlat, PassesShadingAndRejectsEdgesAndTexture) {
    Picture p = filled(64, 64, 0, 0, 0);
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x) {
            const float v = 0.2f + 0.004f * x + 0.002f * y;  // a sky's gradient
            float* px = at(p, x, y);
            px[0] = v, px[1] = 0.9f * v, px[2] = 1.1f * v;
        }
    EXPECT_TRUE(isFlat(p, 0, 0, 64, 64));
    EXPECT_FALSE(isFlat(p, 1, 0, 64, 64)) << "reaches outside the picture";
    EXPECT_FALSE(isFlat(p, -1, 0, 32, 32)) << "starts outside the picture";

    Picture edge = p;  // a faint step of 0.05
    for (int y = 0; y < 64; ++y)
        for (int x = 32; x < 64; ++x) at(edge, x, y)[1] += 0.05f;
    EXPECT_FALSE(isFlat(edge, 0, 0, 64, 64));
    EXPECT_TRUE(isFlat(edge, 34, 0, 30, 64)) << "beside the edge";

    Picture ripple = p;  // a gentle ripple of +-0.04: steps below 0.008, but no plane
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x)
            for (int c = 0; c < 3; ++c)
                at(ripple, x, y)[c] += 0.04f * float(std::sin(2 * std::numbers::pi * x / 32));
    EXPECT_FALSE(isFlat(ripple, 0, 0, 64, 64));

    Picture weave = p;  // a fine weave of +-0.02
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x)
            for (int c = 0; c < 3; ++c) at(weave, x, y)[c] += (x / 2 + y / 2) % 2 ? 0.02f : -0.02f;
    EXPECT_FALSE(isFlat(weave, 0, 0, 64, 64));
}

TEST(ClipIsFlat, RejectsAnEdgeOfColourAlone) {
    Picture p = filled(32, 32, 0.5f, 0.3f, 0.4f);
    for (int y = 0; y < 32; ++y)
        for (int x = 16; x < 32; ++x) {
            float* px = at(p, x, y);
            px[0] = 0.5f - 0.7152f * 0.1f / 0.2126f;  // same luma, less red, more green
            px[1] = 0.4f;
        }
    EXPECT_FALSE(isFlat(p, 0, 0, 32, 32));
}

TEST(ClipPsnr, HandComputedValues) {
    const Picture a = filled(4, 3, 0.5f, 0.5f, 0.5f);
    EXPECT_NEAR(psnr(filled(4, 3, 0.6f, 0.4f, 0.6f), a), 20.0, 1e-5);  // MSE 0.01
    Picture one = a;
    one.rgba[0] = 0.0f;  // one error of 0.5 among 36 values: MSE 0.25 / 36
    EXPECT_NEAR(psnr(one, a), 10 * std::log10(36 / 0.25), 1e-5);
    EXPECT_TRUE(std::isinf(psnr(a, a)));
    EXPECT_THROW(psnr(a, filled(3, 4, 0.5f, 0.5f, 0.5f)), std::invalid_argument);
}

TEST(ClipRecipes, ImpossibleOnesAreRefused) {
    auto refused = [](auto change) {
        ClipRecipe s;
        change(s);
        return [s] { makeClip(s); };
    };
    EXPECT_THROW(refused([](ClipRecipe& s) { s.width = 4; })(), std::invalid_argument);
    EXPECT_THROW(refused([](ClipRecipe& s) { s.frames = 0; })(), std::invalid_argument);
    EXPECT_THROW(refused([](ClipRecipe& s) { s.strength = -1; })(), std::invalid_argument);
    EXPECT_THROW(refused([](ClipRecipe& s) { s.crf = 52; })(), std::invalid_argument);
    EXPECT_THROW(refused([](ClipRecipe& s) { s.width = 101, s.crf = 23; })(),
                 std::invalid_argument);
}

}  // namespace
