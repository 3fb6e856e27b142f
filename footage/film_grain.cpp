#include <algorithm>
#include <cmath>
#include <vector>

#include "footage/camera_pipeline.h"

namespace ruvovav::footage {
namespace {

// Grain's standard deviation at mid-grey for strength 1, and the share it keeps in the
// shadows and highlights: film's density grain is largest in the mid-tones.
constexpr float kMidGreyGrain = 0.045f;
constexpr float kGrainFloor = 0.15f;
// Each dye layer has grain of its own next to the shared one, so the grain is slightly
// coloured.
constexpr double kDyeShare = 0.3;

std::vector<float> gaussianKernel(double sigma) {
    const int radius = int(std::ceil(3 * sigma));
    std::vector<float> kernel(size_t(2 * radius + 1));
    double sum = 0;
    for (int i = -radius; i <= radius; ++i)
        sum += kernel[size_t(i + radius)] = float(std::exp(-i * i / (2 * sigma * sigma)));
    for (float& k : kernel) k = float(k / sum);
    return kernel;
}

int clampIndex(int i, int n) {
    return std::clamp(i < 0 ? -i : (i >= n ? 2 * n - 2 - i : i), 0, n - 1);
}

// One separable pass along rows (step 1) or columns (step width) of a plane.
void blurPass(const std::vector<float>& in, std::vector<float>& out, int width, int height,
              const std::vector<float>& kernel, bool alongRows) {
    const int radius = int(kernel.size() / 2);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            float sum = 0;
            for (int k = -radius; k <= radius; ++k) {
                const int sx = alongRows ? clampIndex(x + k, width) : x;
                const int sy = alongRows ? y : clampIndex(y + k, height);
                sum += kernel[size_t(k + radius)] * in[size_t(sy) * width + sx];
            }
            out[size_t(y) * width + x] = sum;
        }
}

// Three planes of unit-variance grain, one per channel, sharing most of their noise.
std::vector<std::vector<float>> grainPlanes(int width, int height, double sigma,
                                            RandomSource& random) {
    const size_t count = size_t(width) * height;
    std::vector<std::vector<float>> planes(3, std::vector<float>(count));
    const double norm = 1 / std::sqrt(1 + kDyeShare * kDyeShare);
    for (size_t i = 0; i < count; ++i) {
        const double shared = random.gaussian();
        for (auto& plane : planes)
            plane[i] = float((shared + kDyeShare * random.gaussian()) * norm);
    }
    const std::vector<float> kernel = gaussianKernel(sigma);
    double energy = 0;  // both passes leave white noise of unit variance this deviation
    for (float k : kernel) energy += double(k) * k;
    std::vector<float> scratch(count);
    for (auto& plane : planes) {
        blurPass(plane, scratch, width, height, kernel, true);
        blurPass(scratch, plane, width, height, kernel, false);
        for (float& v : plane) v = float(v / energy);
    }
    return planes;
}

}  // namespace

void addFilmGrain(const media::Picture& clean, float strength, double grainSigma,
                  RandomSource& random, media::Picture& noisy) {
    noisy = clean;
    if (strength <= 0) return;
    const auto planes = grainPlanes(clean.width, clean.height, grainSigma, random);
    for (size_t i = 0; i < planes[0].size(); ++i) {
        float* px = &noisy.rgba[i * 4];
        const float luma =
            std::clamp(0.2126f * px[0] + 0.7152f * px[1] + 0.0722f * px[2], 0.0f, 1.0f);
        const float amplitude =
            strength * kMidGreyGrain * (4 * luma * (1 - luma) * (1 - kGrainFloor) + kGrainFloor);
        for (int c = 0; c < 3; ++c)
            px[c] = std::clamp(px[c] + amplitude * planes[c][i], 0.0f, 1.0f);
    }
}

}  // namespace ruvovav::footage
