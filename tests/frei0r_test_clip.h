// A small generated clip for the frei0r plug-in's tests: 8-bit RGBA frames with straight
// alpha, top row first, as frei0r hosts pass them. A flat mid-grey area on the left (for
// the automatic analysis) beside a texture that pans by 1.5 pixels a frame, with Gaussian
// noise of a given deviation (in 8-bit steps) drawn afresh for every frame.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

namespace frei0r_test {

inline constexpr int kWidth = 160;
inline constexpr int kHeight = 96;

inline std::vector<uint8_t> clipFrame(int index, double noise, unsigned seed = 1,
                                      double brightness = 1.0) {
    std::vector<uint8_t> bytes;
    bytes.reserve(size_t(4) * kWidth * kHeight);
    std::mt19937 generator(seed * 7919u + unsigned(index));
    std::normal_distribution<double> grain(0.0, noise);
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x) {
            const double u = x + 1.5 * index;
            const double v = x < 80 ? 0.45 : 0.5 + 0.3 * std::sin(u * 0.4) * std::cos(y * 0.3);
            for (int c = 0; c < 3; ++c) {
                const double level = 255.0 * v * brightness * (1.0 - 0.1 * c);
                const double value = noise > 0 ? level + grain(generator) : level;
                bytes.push_back(uint8_t(std::clamp(std::lround(value), 0L, 255L)));
            }
            bytes.push_back(255);
        }
    }
    return bytes;
}

// PSNR of R, G and B in decibels, peak 255.
inline double psnr(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
    double sum = 0;
    size_t count = 0;
    for (size_t i = 0; i < a.size(); ++i) {
        if (i % 4 == 3) continue;
        const double d = double(a[i]) - double(b[i]);
        sum += d * d;
        ++count;
    }
    return 10.0 * std::log10(255.0 * 255.0 / (sum / double(count)));
}

}  // namespace frei0r_test
