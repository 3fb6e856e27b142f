// PSNR and SSIM on tiny pictures whose values are worked out by hand.
#include <gtest/gtest.h>

#include <cmath>

#include "cli/metrics.h"

namespace {

using ruvovav::cli::psnr;
using ruvovav::cli::quantised;
using ruvovav::cli::ssim;
using ruvovav::media::Picture;

// Every pixel (v, v, v, alpha) from `values`, row by row.
Picture grey(int width, int height, const std::vector<float>& values, float alpha = 1.0f) {
    Picture p{width, height, {}};
    for (float v : values) p.rgba.insert(p.rgba.end(), {v, v, v, alpha});
    return p;
}

TEST(Metrics, PsnrOfHandComputedErrors) {
    // Errors 0.1 and 0 on two pixels of three channels: MSE = 3 * 0.01 / 6 = 0.005.
    const Picture a = grey(2, 1, {0.6f, 0.3f});
    const Picture b = grey(2, 1, {0.5f, 0.3f}, 0.0f);  // alpha is not compared
    EXPECT_NEAR(psnr(a, b), 10.0 * std::log10(1.0 / 0.005), 1e-4);
    EXPECT_TRUE(std::isinf(psnr(a, a)));
    EXPECT_THROW(psnr(a, grey(1, 2, {0.6f, 0.3f})), std::invalid_argument);
}

TEST(Metrics, SsimOfHandComputedStatistics) {
    const double c1 = 0.0001;
    const double c2 = 0.0009;
    // Flat pictures: no variance, so only the luminance term is left.
    const Picture half = grey(2, 2, {0.5f, 0.5f, 0.5f, 0.5f});
    const Picture quarter = grey(2, 2, {0.25f, 0.25f, 0.25f, 0.25f});
    EXPECT_NEAR(ssim(half, quarter), (2 * 0.5 * 0.25 + c1) / (0.25 + 0.0625 + c1), 1e-9);
    // Same mean, half the contrast: variances 0.25 and 0.0625, covariance 0.125.
    const Picture checker = grey(2, 2, {0.0f, 1.0f, 1.0f, 0.0f});
    const Picture softer = grey(2, 2, {0.25f, 0.75f, 0.75f, 0.25f});
    EXPECT_NEAR(ssim(softer, checker), (2 * 0.125 + c2) / (0.25 + 0.0625 + c2), 1e-6);
    EXPECT_NEAR(ssim(checker, checker), 1.0, 1e-12);
    // Inverted contrast correlates negatively.
    EXPECT_LT(ssim(checker, grey(2, 2, {1.0f, 0.0f, 0.0f, 1.0f})), 0.0);
}

// On pictures larger than the window, a uniform offset leaves contrast and structure alone:
// SSIM is the luminance term, the same at every position.
TEST(Metrics, SsimWindowSlidesOverLargerPictures) {
    EXPECT_NEAR(ssim(grey(20, 16, std::vector<float>(320, 0.4f)),
                     grey(20, 16, std::vector<float>(320, 0.6f))),
                (2 * 0.4 * 0.6 + 0.0001) / (0.16 + 0.36 + 0.0001), 1e-6);
}

TEST(Metrics, QuantisingRoundsToTheNearestLevel) {
    const Picture q = quantised(grey(3, 1, {0.5f, 1.2f, -0.1f}, 0.3f), 8);
    EXPECT_FLOAT_EQ(q.rgba[0], 128.0f / 255.0f);  // 127.5 rounds up
    EXPECT_FLOAT_EQ(q.rgba[4], 1.0f);
    EXPECT_FLOAT_EQ(q.rgba[8], 0.0f);
    EXPECT_FLOAT_EQ(q.rgba[3], 0.3f) << "alpha untouched";
}

}  // namespace
