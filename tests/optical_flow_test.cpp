// Dense optical flow: the stages whose faults a rigid shift would hide (edges, odd sizes, the
// solver's guard) against hand-computed values or a direct reference, and the whole
// computation against analytically shifted images.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <stdexcept>
#include <vector>

#include "flow/farneback_flow.h"
#include "flow/flow_average.h"
#include "flow/flow_pyramid.h"
#include "flow/flow_solve.h"
#include "flow/flow_update.h"
#include "flow/flow_upsample.h"
#include "flow/poly_expansion.h"

namespace {

using namespace Plugin;
using Flow4 = plugin_glsl_types::genVec4<float>;

template <typename F>
TextureDataV1 greyImage(int w, int h, F f) {
    TextureDataV1 img(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) img.at(x, y) = float(f(double(x), double(y)));
    return img;
}

// Smooth texture with several orientations so every window sees two-dimensional structure.
// In 8-bit grey levels: the solver's determinant guard is absolute, and a texture in [0, 1]
// would fall below it everywhere.
double texture(double x, double y) {
    constexpr double tau = 2.0 * std::numbers::pi;
    return 255.0 *
           (0.5 + 0.2 * std::sin(tau * x / 37.0 + 0.3) + 0.15 * std::sin(tau * y / 29.0 + 1.1) +
            0.1 * std::sin(tau * (x + y) / 23.0) + 0.1 * std::cos(tau * (x - 2.0 * y) / 41.0));
}

// Halving while both sides keep at least 4 pixels.
TEST(FlowPyramid, LevelsStopAtFourPixels) {
    EXPECT_EQ(flowPyramidLevels(240, 135, 10), 5);  // 135 / 32 = 4.2, 135 / 64 < 4
    EXPECT_EQ(flowPyramidLevels(4096, 4096, 10), 10);
    EXPECT_EQ(flowPyramidLevels(8, 8, 10), 1);
    EXPECT_EQ(flowPyramidLevels(7, 100, 10), 0);
}

// A 3 x 3 binomial [1 2 1]^2 / 16 at every even pixel, edges clamped (the last even column
// of an even width reaches past the edge, the last even row of an odd height sits on it),
// split into bands.
TEST(FlowPyramid, ReductionMatchesSeparableReference) {
    const TextureDataV1 src =
        greyImage(12, 9, [](double x, double y) { return std::sin(x * 1.3) + 0.1 * y * y; });
    TextureDataV1 dst(6, 5);
    reduceBinomialRows(src, dst, 0, 2);
    reduceBinomialRows(src, dst, 2, 5);
    auto s = [&](int x, int y) {
        return double(src.at(std::clamp(x, 0, 11), std::clamp(y, 0, 8)));
    };
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 6; ++x) {
            double ref = 0.0;
            for (int j = -1; j <= 1; ++j)
                for (int i = -1; i <= 1; ++i)
                    ref += (2 - std::abs(i)) * (2 - std::abs(j)) * s(2 * x + i, 2 * y + j);
            EXPECT_NEAR(dst.at(x, y), ref / 16.0, 1e-5) << x << "," << y;
        }
}

TEST(PolyExpansion, RecoversExactQuadratic) {
    // f = 3 + 0.5 x - 0.25 y + 0.02 x^2 + 0.03 y^2 + 0.01 xy; around (x0, y0) the local
    // gradient is (0.5 + 0.04 x0 + 0.01 y0, -0.25 + 0.06 y0 + 0.01 x0).
    const TextureDataV1 src = greyImage(30, 26, [](double x, double y) {
        return 3.0 + 0.5 * x - 0.25 * y + 0.02 * x * x + 0.03 * y * y + 0.01 * x * y;
    });
    TextureDataV5 r(30, 26);
    expandPolynomialRows(src, r, 5, double(1.1f), 0, 26);
    for (int y = 5; y < 21; ++y)
        for (int x = 5; x < 25; ++x) {
            const float* c = r.at(x, y).v;
            EXPECT_NEAR(c[0], -0.25 + 0.06 * y + 0.01 * x, 1e-3);
            EXPECT_NEAR(c[1], 0.5 + 0.04 * x + 0.01 * y, 1e-3);
            EXPECT_NEAR(c[2], 0.03, 5e-4);
            EXPECT_NEAR(c[3], 0.02, 5e-4);
            EXPECT_NEAR(c[4], 0.01, 5e-4);
        }
}

// Upsampling a constant flow gives twice it everywhere, odd last row and column included.
TEST(FlowUpsample, ConstantFlowDoublesEverywhereWithOddSizes) {
    TextureDataV4 coarse(4, 3);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 4; ++x) coarse.at(x, y) = {1.0f, -2.0f, 3.0f, 0.5f};
    TextureDataV4 fine(9, 7);
    upsampleFlowRows(coarse, fine, 0, 2);
    upsampleFlowRows(coarse, fine, 2, 3);
    for (int y = 0; y < 7; ++y)
        for (int x = 0; x < 9; ++x) {
            const Flow4& f = fine.at(x, y);
            ASSERT_NEAR(f.x, 2.0f, 1e-5) << x << "," << y;
            ASSERT_NEAR(f.y, -4.0f, 1e-5) << x << "," << y;
            ASSERT_NEAR(f.z, 6.0f, 1e-5) << x << "," << y;
            ASSERT_NEAR(f.w, 1.0f, 1e-5) << x << "," << y;
        }
}

TEST(FlowUpsample, HandComputedWeights) {
    TextureDataV4 coarse(2, 2);
    coarse.at(0, 0) = {9.0f, 0.0f, 0.0f, 0.0f};
    TextureDataV4 fine(5, 4);
    upsampleFlowRows(coarse, fine, 0, 2);
    // (2/9)(4*9 + 2*9 + 2*9 + 9) with all clamped neighbours equal to the centre.
    EXPECT_NEAR(fine.at(0, 0).x, 18.0f, 1e-4);
    EXPECT_NEAR(fine.at(1, 0).x, 12.0f, 1e-4);  // (2/9)(36 + 0 + 18 + 0)
    EXPECT_NEAR(fine.at(2, 0).x, 6.0f, 1e-4);   // (2/9)(0 + 18 + 0 + 9)
    EXPECT_NEAR(fine.at(3, 0).x, 0.0f, 1e-6);
    EXPECT_NEAR(fine.at(1, 1).x, 8.0f, 1e-4);  // (2/9)(36 + 0 + 0 + 0)
    for (int y = 0; y < 4; ++y) EXPECT_EQ(fine.at(4, y).x, fine.at(3, y).x);
}

// Reference coefficients with pure quadratic terms a_yy = a_xx = 1.
TextureDataV5 unitQuadratic(int w, int h) {
    TextureDataV5 r(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) r.at(x, y) = {{0.0f, 0.0f, 1.0f, 1.0f, 0.0f}};
    return r;
}

TEST(FlowUpdate, OutsideTargetUsesOwnCoefficients) {
    TextureDataV5 r0(20, 20), r1(20, 20), m(20, 20);
    r0.at(10, 10) = {{0.4f, -0.2f, 1.0f, 2.0f, 0.6f}};
    r1.at(10, 10) = {{9.0f, 9.0f, 9.0f, 9.0f, 9.0f}};
    TextureDataV4 flow(20, 20);
    flow.at(10, 10) = {50.0f, 1.0f, 0.0f, 0.0f};
    updateMatrixRows(r0, r1, flow, FlowDirection::Forward, m, 10, 11);
    // r4 = 1, r5 = 2, r6 = 0.3, r2 = 0.2 + 1 * 1 + 0.3 * 50, r3 = -0.1 + 0.3 * 1 + 2 * 50.
    const double r4 = 1, r5 = 2, r6 = 0.3, r2 = 16.2, r3 = 100.2;
    const float* v = m.at(10, 10).v;
    EXPECT_NEAR(v[0], r4 * r4 + r6 * r6, 1e-5);
    EXPECT_NEAR(v[1], (r4 + r5) * r6, 1e-5);
    EXPECT_NEAR(v[2], r5 * r5 + r6 * r6, 1e-5);
    EXPECT_NEAR(v[3], r4 * r2 + r6 * r3, 1e-3);
    EXPECT_NEAR(v[4], r6 * r2 + r5 * r3, 1e-3);
}

// Rows and columns near an edge are damped by the method's published border weights, 0.14
// twice then 0.4472 three times from a large image's edge, fewer of them when the smaller
// side is short; the matrix, a product of two damped coefficient sets, carries the weight
// squared.
TEST(FlowUpdate, CoefficientsNearTheEdgesAreDamped) {
    const std::pair<int, std::vector<double>> sizes[] = {
        {20, {0.14, 0.14, 0.4472, 0.4472, 0.4472, 1}},
        {12, {0.14, 0.4472, 0.4472, 1}},
        {7, {0.4472, 1}}};
    for (const auto& [size, weight] : sizes) {
        const TextureDataV5 r = unitQuadratic(size, 30);
        TextureDataV5 m(size, 30);
        TextureDataV4 flow(size, 30);
        updateMatrixRows(r, r, flow, FlowDirection::Forward, m, 0, 30);
        for (size_t i = 0; i < weight.size(); ++i) {
            const double w2 = weight[i] * weight[i];
            EXPECT_NEAR(m.at(int(i), 15).v[0], w2, 1e-5) << size << " wide, column " << i;
            EXPECT_NEAR(m.at(size - 1 - int(i), 15).v[2], w2, 1e-5) << size << " wide";
        }
        EXPECT_NEAR(m.at(0, 0).v[0], std::pow(weight[0], 4), 1e-6) << size;
    }
}

TEST(FlowUpdate, NegativeFractionInterpolatesBeforeColumnZero) {
    const TextureDataV5 r0 = unitQuadratic(20, 20);
    TextureDataV5 r1 = unitQuadratic(20, 20), m(20, 20);
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 20; ++x) r1.at(x, y).v[0] = float(x + 1);
    TextureDataV4 flow(20, 20);
    flow.at(0, 10) = {-0.5f, 0.0f, 0.0f, 0.0f};
    updateMatrixRows(r0, r1, flow, FlowDirection::Forward, m, 10, 11);
    // px = -0.5 truncates to column 0 with fraction -0.5: the sample's b_y is
    // 1.5 * 1 - 0.5 * 2 = 0.5, so r2 = -0.25, r3 = -0.5, r4 = r5 = 1, all damped by 0.14.
    const double s = 0.14;
    const float* v = m.at(0, 10).v;
    EXPECT_NEAR(v[0], s * s, 1e-6);
    EXPECT_NEAR(v[3], s * s * -0.25, 1e-6);  // zero under a floor rule (outside)
    EXPECT_NEAR(v[4], s * s * -0.5, 1e-6);
}

// Triangular weights (r + 1 - |i|)(r + 1 - |j|) / 36^2, zero outside the image.
TEST(FlowAverage, MatchesDirectWeightedSum) {
    const int w = 23, h = 17, r = 5;
    TextureDataV5 m(w, h), mb(w, h), out(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            for (int c = 0; c < 5; ++c) m.at(x, y).v[c] = float(std::sin(x * 0.7 + y * 1.9 + c));
    averageRowsTriangular(m, mb, r, 0, h);
    averageColumnsTriangular(mb, out, r, 0, 11);
    averageColumnsTriangular(mb, out, r, 11, w);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            for (int c = 0; c < 5; ++c) {
                double ref = 0.0;
                for (int j = -r; j <= r; ++j)
                    for (int i = -r; i <= r; ++i) {
                        if (x + i < 0 || x + i >= w || y + j < 0 || y + j >= h) continue;
                        ref +=
                            (r + 1 - std::abs(i)) * (r + 1 - std::abs(j)) * m.at(x + i, y + j).v[c];
                    }
                EXPECT_NEAR(out.at(x, y).v[c], ref / 1296.0, 1e-5);
            }
}

TEST(FlowSolve, HandSystemAndDeterminantGuard) {
    TextureDataV5 m(2, 1);
    m.at(0, 0) = {{2.0f, 0.5f, 1.0f, 3.0f, 1.0f}};  // det 1.75
    m.at(1, 0) = {{1.0f, 1.0f, 1.0f, 3.0f, 1.0f}};  // det 0
    TextureDataV4 flow(2, 1);
    flow.at(1, 0) = {7.0f, 8.0f, 9.0f, 10.0f};
    solveFlowRows(m, flow, FlowDirection::Forward, 0, 1);
    // [2 0.5; 0.5 1] (dy, dx) = (3, 1) gives dy = 2.5 / 1.75, dx = 0.5 / 1.75.
    EXPECT_NEAR(flow.at(0, 0).x, 0.5 / 1.75, 1e-6);
    EXPECT_NEAR(flow.at(0, 0).y, 2.5 / 1.75, 1e-6);
    EXPECT_EQ(flow.at(0, 0).z, 0.0f);
    EXPECT_EQ(flow.at(1, 0).x, 7.0f);
    EXPECT_EQ(flow.at(1, 0).y, 8.0f);
    solveFlowRows(m, flow, FlowDirection::Backward, 0, 1);
    EXPECT_NEAR(flow.at(0, 0).z, 0.5 / 1.75, 1e-6);
    EXPECT_NEAR(flow.at(0, 0).w, 2.5 / 1.75, 1e-6);
    EXPECT_EQ(flow.at(1, 0).w, 10.0f);
}

TEST(FarnebackOpticalFlow, TinyImagesAndMismatchedSizes) {
    const TextureDataV1 a = greyImage(7, 7, texture);  // no pyramid level at all
    TextureDataV4 flow(7, 7);
    FarnebackOpticalFlow::compute(a, a, flow);
    EXPECT_EQ(flow.at(3, 3).x, 0.0f);
    const TextureDataV1 b(16, 16), c(16, 15);
    TextureDataV4 other(16, 16);
    EXPECT_THROW(FarnebackOpticalFlow::compute(b, c, other), std::invalid_argument);
}

TEST(FarnebackOpticalFlow, InputStrideIsHonoured) {
    const TextureDataV1 a = greyImage(40, 30, texture);
    const TextureDataV1 b = greyImage(40, 30, [](double x, double y) { return texture(x - 1, y); });
    auto padded = [](const TextureDataV1& img) {  // the same pixels in rows of 47 elements
        TextureDataV1 p(47, img.height);
        p.width = img.width;
        for (int y = 0; y < img.height; ++y)
            for (int x = 0; x < img.width; ++x) p.at(x, y) = img.at(x, y);
        return p;
    };
    TextureDataV4 packed(40, 30), strided(40, 30);
    FarnebackOpticalFlow::compute(a, b, packed);
    FarnebackOpticalFlow::compute(padded(a), padded(b), strided);
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 40; ++x) {
            ASSERT_EQ(packed.at(x, y).x, strided.at(x, y).x);
            ASSERT_EQ(packed.at(x, y).w, strided.at(x, y).w);
        }
}

struct ShiftCase {
    double dx, dy;
};

class ShiftRecovery : public ::testing::TestWithParam<ShiftCase> {};

TEST_P(ShiftRecovery, InteriorMatchesKnownShiftBothWays) {
    const ShiftCase s = GetParam();
    const int w = 240, h = 135, margin = 20;
    const TextureDataV1 a = greyImage(w, h, texture);
    // b(x + d) = a(x): pixel x of a lies at x + d in b.
    const TextureDataV1 b =
        greyImage(w, h, [&](double x, double y) { return texture(x - s.dx, y - s.dy); });
    TextureDataV4 flow(w, h);
    FarnebackOpticalFlow::compute(a, b, flow);
    double sum[4] = {}, worst = 0.0, asymmetry = 0.0;
    int count = 0;
    for (int y = margin; y < h - margin; ++y)
        for (int x = margin; x < w - margin; ++x) {
            const Flow4& f = flow.at(x, y);
            const double err[4] = {f.x - s.dx, f.y - s.dy, f.z + s.dx, f.w + s.dy};
            for (int c = 0; c < 4; ++c) {
                sum[c] += err[c];
                worst = std::max(worst, std::fabs(err[c]));
            }
            asymmetry =
                std::max({asymmetry, double(std::fabs(f.x + f.z)), double(std::fabs(f.y + f.w))});
            ++count;
        }
    // The quadratic model fits sinusoids with periods of 23 pixels and more closely over
    // the 11-pixel window, so a rigid shift should come back unbiased to a few hundredths
    // of a pixel and within a tenth of a pixel at any interior point; the two directions
    // see mirrored problems and agree to the same bound.
    for (int c = 0; c < 4; ++c) EXPECT_LT(std::fabs(sum[c] / count), 0.02) << "channel " << c;
    EXPECT_LT(worst, 0.1);
    EXPECT_LT(asymmetry, 0.1);
}

INSTANTIATE_TEST_SUITE_P(SubPixelShifts, ShiftRecovery,
                         ::testing::Values(ShiftCase{1.5, -0.75}, ShiftCase{-2.25, 1.0}));

}  // namespace
