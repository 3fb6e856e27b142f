// How deep inside a flat area each flat box lies. A box that grazes an edge or holds a trace
// of texture can still measure as flat, but it is rarely surrounded by flat boxes of its own
// brightness, while a box inside a sky or a wall is. Boxes lie on a half-box grid, so each
// has up to eight neighbours.
#pragma once

#include <vector>

#include "cli/analysis/analysis_types.h"

namespace ruvovav::analysis {

// For each of `flat` (boxes of one side), how many of its grid neighbours are flat boxes of
// like brightness. `step` is the grid step (half the side).
std::vector<int> flatNeighbourCounts(const std::vector<BoxCandidate>& flat, int step);

}  // namespace ruvovav::analysis
