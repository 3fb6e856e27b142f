// Block means of a frame at scales 1, 2, 4, …: level j holds the means of 2^j × 2^j blocks.
#pragma once

#include <vector>

#include "cli/analysis/analysis_types.h"

namespace ruvovav::analysis {

// Halves by 2 × 2 means (a trailing odd row or column is dropped). Block means of white
// noise are again white, with the deviation halved per level, which is what lets one noise
// model serve every scale. Stops early when a level would be empty.
std::vector<LumaImage> blockMeanPyramid(const LumaImage& luma, int levels);

}  // namespace ruvovav::analysis
