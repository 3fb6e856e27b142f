#include "cli/metrics.h"

#include <cmath>
#include <limits>
#include <stdexcept>

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
