#include "render/noise_measure.h"

#include <algorithm>
#include <cmath>

#include "params/parameter_ids.h"

namespace Plugin {
namespace {

using Vec3 = plugin_glsl_types::genVec3<float>;

constexpr double kWeights[5][5] = {
    {1, 4, 7, 4, 1}, {4, 16, 26, 16, 4}, {7, 26, 41, 26, 7}, {4, 16, 26, 16, 4}, {1, 4, 7, 4, 1}};
// Not 1/273, the weights' sum: the thresholding pass divides by 271, and the thresholds
// measured here must compare against its estimate.
constexpr double kNormalisation = 1.0 / 271.0;

}  // namespace

Vec3 largestLocalMagnitude(const TextureDataV4& coefficients, int x0, int y0, int width,
                           int height) {
    const int xBegin = std::max(x0, 0);
    const int yBegin = std::max(y0, 0);
    const int xEnd = std::min(x0 + width, coefficients.width);
    const int yEnd = std::min(y0 + height, coefficients.height);
    Vec3 largest;
    if (xBegin >= xEnd || yBegin >= yEnd || !coefficients.data) return largest;
    for (int y = yBegin; y < yEnd; ++y) {
        for (int x = xBegin; x < xEnd; ++x) {
            double sum[3] = {0.0, 0.0, 0.0};
            for (int j = -2; j <= 2; ++j) {
                const int sy = std::clamp(y + j, yBegin, yEnd - 1);
                for (int i = -2; i <= 2; ++i) {
                    const int sx = std::clamp(x + i, xBegin, xEnd - 1);
                    const auto& c = coefficients.at(sx, sy);
                    const double w = kWeights[j + 2][i + 2];
                    sum[0] += w * std::fabs(double(c.x));
                    sum[1] += w * std::fabs(double(c.y));
                    sum[2] += w * std::fabs(double(c.z));
                }
            }
            largest.x = std::max(largest.x, float(sum[0] * kNormalisation));
            largest.y = std::max(largest.y, float(sum[1] * kNormalisation));
            largest.z = std::max(largest.z, float(sum[2] * kNormalisation));
        }
    }
    return largest;
}

void measureWaveletLevels(const TextureDataV4& coefficients, int levels, LayerThresholds& layer) {
    const int measured = std::clamp(levels, 0, ids::kWaveletLevels);
    int w = coefficients.width;
    int h = coefficients.height;
    for (int k = 1; k <= measured; ++k) {
        const int w2 = w / 2;
        const int h2 = h / 2;
        layer.hh.push_back(largestLocalMagnitude(coefficients, w2, h2, w - w2, h - h2));
        layer.lh.push_back(largestLocalMagnitude(coefficients, w2, 0, w - w2, h2));
        layer.hl.push_back(largestLocalMagnitude(coefficients, 0, h2, w2, h - h2));
        w = w2;
        h = h2;
    }
    for (int k = measured; k < ids::kWaveletLevels; ++k) {
        layer.hh.push_back(Vec3{});
        layer.lh.push_back(Vec3{});
        layer.hl.push_back(Vec3{});
    }
}

}  // namespace Plugin
