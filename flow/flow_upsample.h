// Carries a coarse flow estimate down one pyramid level.
#pragma once

#include "image/texture_data.h"

namespace Plugin {

// Coarse rows [y0, y1) of `coarse` into the rows 2y and 2y + 1 of `fine`, whose size is
// the coarse size doubled, possibly plus one. Displacements are doubled to fine pixels.
// The band ending at the coarse height also fills an odd last fine row.
void upsampleFlowRows(const TextureDataV4& coarse, TextureDataV4& fine, int y0, int y1);

}  // namespace Plugin
