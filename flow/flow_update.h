// Builds the per-pixel 2x2 flow system from two frames' polynomial coefficients.
#pragma once

#include <array>

#include "flow/flow_settings.h"
#include "image/texture_data.h"

namespace Plugin {

// Weights for the outermost rings of the image: table[i] applies at distance i from an
// edge, for i < count. Smaller images get narrower tables.
struct BorderDamping {
    int count = 0;
    std::array<float, 5> table{};
};

BorderDamping borderDampingFor(int width, int height);

// Rows [y0, y1) of the matrix image m: (G11, G12, G22, h1, h2) per pixel, from the
// reference coefficients r0, the target coefficients r1 sampled at the displaced
// position, and the flow pair that `direction` selects.
void updateMatrixRows(const TextureDataV5& r0, const TextureDataV5& r1, const TextureDataV4& flow,
                      FlowDirection direction, TextureDataV5& m, int y0, int y1);

}  // namespace Plugin
