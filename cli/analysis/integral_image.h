// Summed-area table: the sum over any rectangle in constant time, so that every candidate
// box of a frame costs the same however large it is.
#pragma once

#include <cstddef>
#include <vector>

namespace ruvovav::analysis {

class IntegralImage {
public:
    IntegralImage() = default;
    // values: width × height, row-major.
    IntegralImage(int width, int height, const std::vector<float>& values);

    // Sum over columns x0 … x1 − 1 and rows y0 … y1 − 1; the rectangle must lie in the image.
    double sum(int x0, int y0, int x1, int y1) const;
    int width() const { return width_; }
    int height() const { return height_; }

private:
    std::size_t index(int x, int y) const {
        return static_cast<std::size_t>(y) * (static_cast<std::size_t>(width_) + 1) + x;
    }

    int width_ = 0, height_ = 0;
    // Doubles: a frame's worth of squared responses in float would lose the small boxes'
    // sums to rounding.
    std::vector<double> table_;
};

}  // namespace ruvovav::analysis
