#include "cli/analysis/integral_image.h"

namespace ruvovav::analysis {

IntegralImage::IntegralImage(int width, int height, const std::vector<float>& values)
    : width_(width), height_(height) {
    const std::size_t stride = static_cast<std::size_t>(width) + 1;
    table_.assign(stride * (static_cast<std::size_t>(height) + 1), 0.0);
    for (int y = 0; y < height; ++y) {
        const float* in = values.data() + static_cast<std::size_t>(y) * width;
        const double* above = table_.data() + static_cast<std::size_t>(y) * stride;
        double* out = table_.data() + (static_cast<std::size_t>(y) + 1) * stride;
        double rowSum = 0.0;
        for (int x = 0; x < width; ++x) {
            rowSum += in[x];
            out[x + 1] = above[x + 1] + rowSum;
        }
    }
}

double IntegralImage::sum(int x0, int y0, int x1, int y1) const {
    return table_[index(x1, y1)] - table_[index(x0, y1)] - table_[index(x1, y0)] +
           table_[index(x0, y0)];
}

}  // namespace ruvovav::analysis
