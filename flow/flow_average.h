// Triangular window averaging of the flow systems, zero outside the image.
#pragma once

#include "image/texture_data.h"

namespace Plugin {

// Rows [y0, y1): dst(x, y) = sum_k (r + 1 - |k|) src(x + k, y) / (r + 1)^2.
void averageRowsTriangular(const TextureDataV5& src, TextureDataV5& dst, int radius, int y0,
                           int y1);

// Columns [x0, x1): dst(x, y) = sum_k (r + 1 - |k|) src(x, y + k) / (r + 1)^2.
void averageColumnsTriangular(const TextureDataV5& src, TextureDataV5& dst, int radius, int x0,
                              int x1);

}  // namespace Plugin
