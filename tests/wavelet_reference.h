// A plain CPU wavelet transform for the tests: the taps rounded to six decimals the way the
// generated programs write them, and the periodic multi-level analysis over the lower-left
// region that halves with every level.
#pragma once

#include <cmath>
#include <vector>

#include "denoise/wavelet_filters.h"

namespace test {

// A filter's taps as the generated programs apply them: printed with six decimals.
struct Taps {
    std::vector<double> lo;
    std::vector<double> hi;
};
inline Taps sixDigitTaps(const Plugin::WaveletFilter& filter) {
    Taps taps;
    for (int k = 0; k < filter.n; ++k) {
        taps.lo.push_back(std::round(filter.lo[size_t(k)] * 1e6) / 1e6);
        taps.hi.push_back(std::round(filter.hi[size_t(k)] * 1e6) / 1e6);
    }
    return taps;
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
