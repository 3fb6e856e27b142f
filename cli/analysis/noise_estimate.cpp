#include "cli/analysis/noise_estimate.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "cli/analysis/scale_pyramid.h"

namespace ruvovav::analysis {

namespace {

// Mirror without repeating the edge sample, so a border sample's neighbours are noise of
// the same strength as an interior one's.
int reflect(int i, int n) {
    if (n == 1) return 0;
    if (i < 0) return -i;
    if (i >= n) return 2 * n - 2 - i;
    return i;
}

// The image with a one-sample mirrored border: the kernels below then read neighbours with
// plain pointer steps, which keeps a full frame cheap even in unoptimised builds.
class Padded {
public:
    explicit Padded(const LumaImage& img) : stride_(img.width + 2) {
        data_.resize(static_cast<std::size_t>(stride_) * (img.height + 2));
        for (int row = -1; row <= img.height; ++row) {
            float* out = data_.data() + static_cast<std::size_t>(row + 1) * stride_;
            for (int x = -1; x <= img.width; ++x) {
                out[x + 1] = img.at(reflect(x, img.width), reflect(row, img.height));
            }
        }
    }
    // Row `row` of the image; indices −1 … width are valid.
    const float* row(int row) const {
        return data_.data() + static_cast<std::size_t>(row + 1) * stride_ + 1;
    }

private:
    int stride_;
    std::vector<float> data_;
};

// [1 −2 1] ⊗ [1 −2 1]: blind to constants, ramps and to any straight horizontal or vertical
// edge, so at scale 1 it sees mostly noise. For white noise of deviation σ its response is
// Gaussian with deviation 6σ (the kernel's L2 norm), hence E|r| = 6σ·√(2/π).
IntegralImage fineAbsMap(const LumaImage& luma) {
    const Padded padded(luma);
    std::vector<float> values(luma.y.size());
    for (int row = 0; row < luma.height; ++row) {
        const float *up = padded.row(row - 1), *mid = padded.row(row), *down = padded.row(row + 1);
        float* out = values.data() + static_cast<std::size_t>(row) * luma.width;
        for (int x = 0; x < luma.width; ++x) {
            const float a = up[x - 1] - 2.0f * up[x] + up[x + 1];
            const float b = mid[x - 1] - 2.0f * mid[x] + mid[x + 1];
            const float c = down[x - 1] - 2.0f * down[x] + down[x + 1];
            out[x] = std::fabs(a - 2.0f * b + c);
        }
    }
    return IntegralImage(luma.width, luma.height, values);
}

// Five-point Laplacian: blind to constants and ramps (gentle shading is no picture detail
// to the effect), sensitive to edges, lines, texture and curvature; for white noise of
// deviation σ its response has deviation √20·σ. Level j holds means of 2^j × 2^j blocks,
// whose noise deviation is σ / 2^j, so scaling by 2^j / √20 gives every level the same mean
// square σ² for white noise: any excess is picture.
IntegralImage energyMap(const LumaImage& level, int j) {
    const float gain = static_cast<float>(1 << j) / std::sqrt(20.0f);
    const Padded padded(level);
    std::vector<float> values(level.y.size());
    for (int row = 0; row < level.height; ++row) {
        const float *up = padded.row(row - 1), *mid = padded.row(row), *down = padded.row(row + 1);
        float* out = values.data() + static_cast<std::size_t>(row) * level.width;
        for (int x = 0; x < level.width; ++x) {
            const float r = gain * (4.0f * mid[x] - mid[x - 1] - mid[x + 1] - up[x] - down[x]);
            out[x] = r * r;
        }
    }
    return IntegralImage(level.width, level.height, values);
}

}  // namespace

NoiseMaps::NoiseMaps(const LumaImage& luma, int scales) {
    if (!luma.valid()) return;
    fineAbs_ = fineAbsMap(luma);
    const std::vector<LumaImage> pyramid = blockMeanPyramid(luma, scales);
    for (std::size_t j = 0; j < pyramid.size(); ++j) {
        energy_.push_back(energyMap(pyramid[j], static_cast<int>(j)));
    }
}

// Only responses whose whole 3 × 3 support lies in the box: the noise of the box itself.
double NoiseMaps::sigmaOf(const PixelBox& b) const {
    const double count = static_cast<double>(b.width - 2) * (b.height - 2);
    const double meanAbs =
        fineAbs_.sum(b.x + 1, b.y + 1, b.x + b.width - 1, b.y + b.height - 1) / count;
    return meanAbs * std::sqrt(std::numbers::pi / 2.0) / 6.0;
}

// Every block of the box at every scale, including the outermost ones whose Laplacian
// reaches one block outside: an edge on the box's border counts as inside.
std::vector<double> NoiseMaps::scaleEnergies(const PixelBox& b) const {
    std::vector<double> energies;
    for (std::size_t j = 0; j < energy_.size(); ++j) {
        const int x0 = b.x >> j, y0 = b.y >> j;
        const int x1 = (b.x + b.width) >> j, y1 = (b.y + b.height) >> j;
        if (x1 <= x0 || y1 <= y0) break;
        energies.push_back(energy_[j].sum(x0, y0, x1, y1) / ((x1 - x0) * (y1 - y0)));
    }
    return energies;
}

NoiseMeasure NoiseMaps::measure(const PixelBox& box) const {
    if (energy_.empty() || box.width < 3 || box.height < 3) return {};
    const double sigma = sigmaOf(box);
    const double reference = std::max(sigma, static_cast<double>(kNoiseFloor));
    std::vector<double> shape = scaleEnergies(box);
    for (double& e : shape) e /= reference * reference;
    return {static_cast<float>(sigma), std::move(shape)};
}

}  // namespace ruvovav::analysis
