// A plain CPU wavelet transform for the tests: the taps as published, rounded to six
// decimals the way the generated programs write them, and the periodic multi-level
// analysis over the lower-left region that halves with every level.
#pragma once

#include <cmath>
#include <vector>

namespace test {

// Daubechies with four vanishing moments, time-reversed scaling filter, ten decimals.
inline const std::vector<double> kDaubechies8Lo = {-0.0105974018, 0.0328830117,  0.0308413818,
                                                   -0.1870348117, -0.0279837694, 0.6308807679,
                                                   0.7148465706,  0.2303778133};

// Daubechies 4 from its closed form, in scaling-filter order.
inline std::vector<double> daubechies4Lo() {
    const double s = std::sqrt(3.0);
    const double d = 4.0 * std::sqrt(2.0);
    return {(1 + s) / d, (3 + s) / d, (3 - s) / d, (1 - s) / d};
}

// hi[k] = sign x (-1)^k x lo[n-1-k]: sign +1 for Haar and Daubechies 4, -1 for the three
// stored filters.
inline constexpr int kClosedFormSign = 1;
inline constexpr int kStoredFilterSign = -1;
inline std::vector<double> highPassOf(const std::vector<double>& lo, int sign) {
    const size_t n = lo.size();
    std::vector<double> hi(n);
    for (size_t k = 0; k < n; ++k) hi[k] = sign * (k % 2 == 0 ? 1 : -1) * lo[n - 1 - k];
    return hi;
}

// What "%f" keeps of a tap.
inline std::vector<double> sixDigitTaps(const std::vector<double>& taps) {
    std::vector<double> rounded;
    for (double t : taps) rounded.push_back(std::round(t * 1e6) / 1e6);
    return rounded;
}

// One channel, width x height, rows bottom up.
struct Plane {
    int width = 0;
    int height = 0;
    std::vector<double> v;
    double& at(int x, int y) { return v[size_t(y) * size_t(width) + size_t(x)]; }
};

// One periodic analysis step along a line of `length` samples read through `get`: the low
// band into the first half, the high band into the second.
template <typename Get, typename Put>
void analyseLine(int length, const std::vector<double>& lo, const std::vector<double>& hi, Get get,
                 Put put) {
    const int n = int(lo.size());
    for (int x = 0; x < length; ++x) {
        const int i = 2 * x;
        const bool low = i < length;
        double sum = 0.0;
        for (int k = 0; k < n; ++k) sum += (low ? lo : hi)[size_t(k)] * get((i + k) % length);
        put(x, sum);
    }
}

// `levels` levels, each rows then columns, over a region halving from the full plane.
inline Plane analyseReference(Plane plane, int levels, const std::vector<double>& lo,
                              const std::vector<double>& hi) {
    for (int l = 0; l < levels; ++l) {
        const int w = plane.width >> l;
        const int h = plane.height >> l;
        Plane next = plane;
        for (int y = 0; y < h; ++y) {
            analyseLine(
                w, lo, hi, [&](int x) { return plane.at(x, y); },
                [&](int x, double s) { next.at(x, y) = s; });
        }
        plane = next;
        for (int x = 0; x < w; ++x) {
            analyseLine(
                h, lo, hi, [&](int y) { return plane.at(x, y); },
                [&](int y, double s) { next.at(x, y) = s; });
        }
        plane = next;
    }
    return plane;
}

}  // namespace test
