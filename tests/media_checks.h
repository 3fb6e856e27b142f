// Checks the media tests share: a test picture on a depth's grid, how close two pictures are,
// and what a MediaError says.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <string>

#include "media/media_error.h"
#include "media/picture.h"

namespace media_checks {

inline float onGrid(double value, double levels) {
    return float(std::round(value * levels) / levels);
}

// Frame `index` of a test clip: red and green gradients, blue changing per frame, alpha
// stepping through 0, 1/4 .. 1 (straight alpha: colour under alpha 0 must survive). Values lie
// on the grid of `levels` steps so that lossless formats give them back exactly.
inline ruvovav::media::Picture pattern(int width, int height, int index, bool alpha,
                                       double levels) {
    ruvovav::media::Picture p{width, height, std::vector<float>(size_t(width) * height * 4)};
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            float* px = &p.rgba[(size_t(y) * width + x) * 4];
            px[0] = onGrid(double(x) / (width - 1), levels);
            px[1] = onGrid(double(y) / (height - 1), levels);
            px[2] = onGrid(0.2 + 0.15 * index, levels);
            px[3] = alpha ? onGrid((x % 5) / 4.0, levels) : 1.0f;
        }
    }
    return p;
}

// Largest difference over pixels whose alpha is at least `minAlpha` (premultiplied formats
// cannot keep the colour of fully transparent pixels).
inline float maxError(const ruvovav::media::Picture& a, const ruvovav::media::Picture& b,
                      float minAlpha = 0.0f) {
    float worst = 0;
    for (size_t i = 0; i < a.rgba.size(); i += 4) {
        if (a.rgba[i + 3] < minAlpha) continue;
        for (int c = 0; c < 4; ++c)
            worst = std::max(worst, std::abs(a.rgba[i + c] - b.rgba[i + c]));
    }
    return worst;
}

// Over every channel, alpha included, peak 1; 200 for equal pictures.
inline double psnr(const ruvovav::media::Picture& a, const ruvovav::media::Picture& b) {
    double sum = 0;
    for (std::size_t i = 0; i < a.rgba.size(); ++i) sum += std::pow(a.rgba[i] - b.rgba[i], 2);
    return sum == 0 ? 200.0 : 10 * std::log10(double(a.rgba.size()) / sum);
}

// The message of the MediaError that `action` throws, or "(no MediaError)".
template <typename F>
std::string errorOf(F&& action) {
    try {
        action();
    } catch (const ruvovav::media::MediaError& error) {
        return error.what();
    }
    return "(no MediaError)";
}

}  // namespace media_checks
