// Picture quality against a clean reference, on the colour channels, peak value 1.
#pragma once

#include "cli/media/picture.h"

namespace ruvovav::cli {

// Mean squared error of R, G and B; alpha is ignored. Throws std::invalid_argument when
// the sizes differ.
double meanSquaredError(const media::Picture& image, const media::Picture& reference);
// 10 log10(1 / MSE) in decibels; infinite for identical pictures.
double psnr(const media::Picture& image, const media::Picture& reference);

// Structural similarity (Wang, Bovik, Sheikh and Simoncelli, 2004) with its usual constants:
// an 11 x 11 Gaussian window of deviation 1.5, K1 = 0.01, K2 = 0.03, dynamic range 1; local
// statistics where the window fits inside the picture, averaged over those positions and
// over R, G and B. A picture smaller than the window gets an even square window as large as
// its smaller side.
double ssim(const media::Picture& image, const media::Picture& reference);

// Rounds R, G and B to `bits` bits (alpha untouched), as storing at that depth does.
media::Picture quantised(const media::Picture& picture, int bits);

}  // namespace ruvovav::cli
