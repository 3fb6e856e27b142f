// The wavelet filter bank, checked by the mathematics every orthogonal wavelet obeys. What
// the generated programs compute is checked on the driver, through the plug-in's passes, in
// the wavelet transform tests; their strictness with the rest of the program table.
#include "denoise/wavelet_filters.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

using Plugin::kWavelets;
using Plugin::WaveletFilter;

// Tap counts, and the sign of hi[0] relative to lo[n-1], in registration order.
struct Expected {
    const char* label;
    int n;
    int highPassSign;
};
constexpr Expected kExpected[] = {
    {"Haar", 2, 1},          {"Daubechies 4", 4, 1},
    {"Daubechies 8", 8, -1}, {"Daubechies 16", 16, -1},
    {"Symlets 16", 16, -1},
};

double correlation(const std::array<double, 16>& a, const std::array<double, 16>& b, int n,
                   int shift) {
    double sum = 0.0;
    for (int k = 0; k < n; ++k) {
        if (k + shift >= 0 && k + shift < n) sum += a[k] * b[k + shift];
    }
    return sum;
}

TEST(WaveletFilters, MethodChoosesTheWaveletAndAnythingElseIsSymlets) {
    for (int method = 0; method < 5; ++method) {
        EXPECT_EQ(&Plugin::waveletForMethod(method), &kWavelets[size_t(method)]) << method;
        EXPECT_EQ(kWavelets[size_t(method)].makeFilter().n, kExpected[method].n);
    }
    for (int method : {5, 7, 100, -1}) {
        EXPECT_EQ(&Plugin::waveletForMethod(method), &kWavelets[4]) << method;
    }
}

// Orthonormal at every even shift, a zero-sum high pass that is the alternating reverse of
// the low pass, and n/2 vanishing moments: together these pin the taps down, so a wrong
// digit in a stored table cannot pass.
TEST(WaveletFilters, AreOrthonormalWithVanishingMoments) {
    for (size_t w = 0; w < kWavelets.size(); ++w) {
        SCOPED_TRACE(kExpected[w].label);
        const WaveletFilter f = kWavelets[w].makeFilter();
        // Each stored tap is its true value to within 5e-11.
        const double tolerance = f.n * 1e-10;
        double sumLo = 0.0;
        for (int k = 0; k < f.n; ++k) sumLo += f.lo[k];
        EXPECT_NEAR(sumLo, std::sqrt(2.0), tolerance);
        for (int shift = -(f.n - 2); shift <= f.n - 2; shift += 2) {
            const double unit = shift == 0 ? 1.0 : 0.0;
            EXPECT_NEAR(correlation(f.lo, f.lo, f.n, shift), unit, tolerance) << shift;
            EXPECT_NEAR(correlation(f.hi, f.hi, f.n, shift), unit, tolerance) << shift;
            EXPECT_NEAR(correlation(f.lo, f.hi, f.n, shift), 0.0, tolerance) << shift;
        }
        for (int k = 0; k < f.n; ++k) {
            const int sign = (k % 2 == 0 ? 1 : -1) * kExpected[w].highPassSign;
            EXPECT_EQ(f.hi[k], sign * f.lo[f.n - 1 - k]) << "k = " << k;
        }
        const double centre = (f.n - 1) / 2.0;
        for (int j = 0; j < f.n / 2; ++j) {
            double moment = 0.0;
            double scale = 0.0;
            for (int k = 0; k < f.n; ++k) {
                const double power = std::pow(k - centre, j);
                moment += power * f.hi[k];
                scale += std::abs(power);
            }
            EXPECT_NEAR(moment, 0.0, scale * 1e-10) << "moment " << j;
        }
    }
}

// The properties leave Haar one solution, but Daubechies 4 also its time-reversed twin.
TEST(WaveletFilters, Daubechies4MatchesItsClosedForm) {
    const WaveletFilter d4 = Plugin::daubechies4Filter();
    const double lo[] = {0.4829629131, 0.8365163037, 0.2241438680, -0.1294095226};
    for (int k = 0; k < 4; ++k) EXPECT_NEAR(d4.lo[k], lo[k], 5e-11) << k;
}

}  // namespace
