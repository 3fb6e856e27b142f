#include "cli/metrics.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <stdexcept>
#include <vector>

namespace ruvovav::cli {

double meanSquaredError(const media::Picture& image, const media::Picture& reference) {
    if (image.width != reference.width || image.height != reference.height ||
        image.rgba.size() != reference.rgba.size()) {
        throw std::invalid_argument("pictures of different sizes cannot be compared");
    }
    double sum = 0;
    for (size_t i = 0; i < image.rgba.size(); i += 4) {
        for (size_t c = 0; c < 3; ++c) {
            const double d = double(image.rgba[i + c]) - double(reference.rgba[i + c]);
            sum += d * d;
        }
    }
    return sum / (3.0 * double(image.rgba.size() / 4));
}

double psnr(const media::Picture& image, const media::Picture& reference) {
    const double mse = meanSquaredError(image, reference);
    return mse > 0 ? 10.0 * std::log10(1.0 / mse) : std::numeric_limits<double>::infinity();
}

}  // namespace ruvovav::cli

namespace ruvovav::cli {
namespace {

constexpr int kWindow = 11;
constexpr double kDeviation = 1.5;
constexpr double kC1 = 0.01 * 0.01;
constexpr double kC2 = 0.03 * 0.03;

// One-dimensional weights whose outer product is the window; they sum to 1.
std::vector<double> windowWeights(int size) {
    std::vector<double> w(size_t(size), 1.0);
    if (size == kWindow) {
        const double centre = (size - 1) / 2.0;
        for (int i = 0; i < size; ++i) {
            const double d = i - centre;
            w[size_t(i)] = std::exp(-d * d / (2 * kDeviation * kDeviation));
        }
    }
    double sum = 0;
    for (double v : w) sum += v;
    for (double& v : w) v /= sum;
    return w;
}

// The window's weighted mean of `values` (width x height) at every position where it fits,
// filtered along rows, then along columns.
std::vector<double> windowMeans(const std::vector<double>& values, int width, int height,
                                const std::vector<double>& w) {
    const int size = int(w.size());
    const int outWidth = width - size + 1;
    const int outHeight = height - size + 1;
    std::vector<double> rows(size_t(outWidth) * size_t(height));
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < outWidth; ++x) {
            double sum = 0;
            for (int k = 0; k < size; ++k)
                sum += w[size_t(k)] * values[size_t(y) * width + size_t(x + k)];
            rows[size_t(y) * outWidth + size_t(x)] = sum;
        }
    }
    std::vector<double> out(size_t(outWidth) * size_t(outHeight));
    for (int y = 0; y < outHeight; ++y) {
        for (int x = 0; x < outWidth; ++x) {
            double sum = 0;
            for (int k = 0; k < size; ++k)
                sum += w[size_t(k)] * rows[size_t(y + k) * outWidth + size_t(x)];
            out[size_t(y) * outWidth + size_t(x)] = sum;
        }
    }
    return out;
}

// Mean SSIM of one channel over every window position.
double channelSsim(const media::Picture& a, const media::Picture& b, size_t channel,
                   const std::vector<double>& w) {
    const size_t n = size_t(a.width) * size_t(a.height);
    std::vector<double> u(n), v(n), uu(n), vv(n), uv(n);
    for (size_t i = 0; i < n; ++i) {
        u[i] = a.rgba[4 * i + channel];
        v[i] = b.rgba[4 * i + channel];
        uu[i] = u[i] * u[i];
        vv[i] = v[i] * v[i];
        uv[i] = u[i] * v[i];
    }
    const auto mx = windowMeans(u, a.width, a.height, w);
    const auto my = windowMeans(v, a.width, a.height, w);
    const auto xx = windowMeans(uu, a.width, a.height, w);
    const auto yy = windowMeans(vv, a.width, a.height, w);
    const auto xy = windowMeans(uv, a.width, a.height, w);
    double total = 0;
    for (size_t i = 0; i < mx.size(); ++i) {
        const double vx = xx[i] - mx[i] * mx[i];
        const double vy = yy[i] - my[i] * my[i];
        const double cov = xy[i] - mx[i] * my[i];
        total += (2 * mx[i] * my[i] + kC1) * (2 * cov + kC2) /
                 ((mx[i] * mx[i] + my[i] * my[i] + kC1) * (vx + vy + kC2));
    }
    return total / double(mx.size());
}

}  // namespace

double ssim(const media::Picture& image, const media::Picture& reference) {
    meanSquaredError(image, reference);  // checks the sizes
    const std::vector<double> w = windowWeights(std::min({kWindow, image.width, image.height}));
    double sum = 0;
    for (size_t c = 0; c < 3; ++c) sum += channelSsim(image, reference, c, w);
    return sum / 3.0;
}

media::Picture quantised(const media::Picture& picture, int bits) {
    media::Picture q = picture;
    const double levels = double((int64_t(1) << bits) - 1);
    for (size_t i = 0; i < q.rgba.size(); ++i) {
        if (i % 4 == 3) continue;
        const double v = std::clamp(double(q.rgba[i]), 0.0, 1.0);
        q.rgba[i] = float(std::round(v * levels) / levels);
    }
    return q;
}

}  // namespace ruvovav::cli
