// Picture quality against a clean reference, on the colour channels, peak value 1.
#pragma once

#include "cli/media/picture.h"

namespace ruvovav::cli {

// Mean squared error of R, G and B; alpha is ignored. Throws std::invalid_argument when
// the sizes differ.
double meanSquaredError(const media::Picture& image, const media::Picture& reference);
// 10 log10(1 / MSE) in decibels; infinite for identical pictures.
double psnr(const media::Picture& image, const media::Picture& reference);

}  // namespace ruvovav::cli
