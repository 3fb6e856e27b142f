// Measures of noise for the tests of the synthetic clips, written independently of the
// code that makes the clips so that the tests do not restate it.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <optional>
#include <vector>

#include "tests/support/camera_clip.h"

namespace ruvovav::testclips::measures {

using media::Picture;

struct Rect {
    int x = 0, y = 0, w = 0, h = 0;
};

inline const float* pixel(const Picture& p, int x, int y) {
    return &p.rgba[(size_t(y) * p.width + x) * 4];
}

inline double luma(const float* px) {
    return 0.2126 * px[0] + 0.7152 * px[1] + 0.0722 * px[2];
}

inline double meanLuma(const Picture& p, Rect r) {
    double sum = 0;
    for (int y = r.y; y < r.y + r.h; ++y)
        for (int x = r.x; x < r.x + r.w; ++x) sum += luma(pixel(p, x, y));
    return sum / (r.w * r.h);
}

// The first flat 64x64 box whose mean luma lies in [lo, hi).
inline std::optional<Rect> flatBox(const Picture& clean, double lo, double hi) {
    for (int y = 0; y + 64 <= clean.height; y += 8)
        for (int x = 0; x + 64 <= clean.width; x += 8) {
            const Rect r{x, y, 64, 64};
            if (!isFlat(clean, x, y, 64, 64)) continue;
            const double level = meanLuma(clean, r);
            if (level >= lo && level < hi) return r;
        }
    return std::nullopt;
}

// Lag-1 horizontal autocorrelation of the values, row by row, about their mean.
inline double lagOneCorrelation(const std::vector<std::vector<double>>& rows) {
    double sum = 0, count = 0;
    for (const auto& row : rows)
        for (double v : row) sum += v, ++count;
    const double mean = sum / count;
    double products = 0, squares = 0, pairs = 0;
    for (const auto& row : rows)
        for (size_t i = 0; i < row.size(); ++i) {
            squares += (row[i] - mean) * (row[i] - mean);
            if (i + 1 < row.size()) products += (row[i] - mean) * (row[i + 1] - mean), ++pairs;
        }
    return (products / pairs) / (squares / count);
}

inline double noiseCorrelation(const Picture& noisy, const Picture& clean, Rect r, int channel) {
    std::vector<std::vector<double>> rows;
    for (int y = r.y; y < r.y + r.h; ++y) {
        rows.emplace_back();
        for (int x = r.x; x < r.x + r.w; ++x)
            rows.back().push_back(pixel(noisy, x, y)[channel] - pixel(clean, x, y)[channel]);
    }
    return lagOneCorrelation(rows);
}

inline double noiseVariance(const Picture& noisy, const Picture& clean, Rect r, int channel) {
    double sum = 0, squares = 0;
    const double n = r.w * r.h;
    for (int y = r.y; y < r.y + r.h; ++y)
        for (int x = r.x; x < r.x + r.w; ++x) {
            const double d = pixel(noisy, x, y)[channel] - pixel(clean, x, y)[channel];
            sum += d;
            squares += d * d;
        }
    return squares / n - (sum / n) * (sum / n);
}

// The sRGB decoding curve (IEC 61966-2-1).
inline double toLinear(double v) {
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

inline double greenLevel(const float* c) {
    return toLinear(c[1]);
}

// Green's noise in linear light, where shot noise is plain Poisson noise; NaN where clipped.
inline double linearGreenNoise(const float* c, const float* n) {
    if (n[1] <= 0 || n[1] >= 1) return std::nan("");
    return toLinear(n[1]) - toLinear(c[1]);
}

inline double meanPsnr(const Clip& clip) {
    double sum = 0;
    for (size_t f = 0; f < clip.clean.size(); ++f) sum += psnr(clip.noisy[f], clip.clean[f]);
    return sum / double(clip.clean.size());
}

inline ClipRecipe recipe(NoiseKind noise, uint32_t seed, int frames = 1) {
    ClipRecipe s;
    s.noise = noise;
    s.seed = seed;
    s.frames = frames;
    return s;
}

}  // namespace ruvovav::testclips::measures
