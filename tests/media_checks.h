// Checks the media tests share: how close two pictures are, and what a MediaError says.
#pragma once

#include <cmath>
#include <cstddef>
#include <string>

#include "media/media_error.h"
#include "media/picture.h"

namespace media_checks {

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
