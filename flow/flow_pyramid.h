// Coarse-to-fine grey pyramids for the flow: level count and binomial reduction.
#pragma once

#include "image/texture_data.h"

namespace Plugin {

// Largest count (at most maxLevels) of halvings that keep both sides at least 4 pixels.
int flowPyramidLevels(int width, int height, int maxLevels);

// Destination rows [y0, y1) of a 2x reduction by the 3x3 binomial kernel with clamped
// source coordinates. dst must already have the halved size.
void reduceBinomialRows(const TextureDataV1& src, TextureDataV1& dst, int y0, int y1);

}  // namespace Plugin
