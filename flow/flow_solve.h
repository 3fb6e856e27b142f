// Solves the averaged 2x2 flow systems.
#pragma once

#include "flow/flow_settings.h"
#include "image/texture_data.h"

namespace Plugin {

// Rows [y0, y1): the flow pair of `direction` becomes the solution of
// [G11 G12; G12 G22] (dy, dx) = (h1, h2) where the determinant exceeds 1e-6 in magnitude;
// elsewhere it keeps its previous value.
void solveFlowRows(const TextureDataV5& m, TextureDataV4& flow, FlowDirection direction, int y0,
                   int y1);

}  // namespace Plugin
