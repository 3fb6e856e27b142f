#include "cli/analysis/flat_regions.h"

#include <cmath>
#include <cstdlib>

namespace ruvovav::analysis {

namespace {

// One flat area holds one brightness up to gentle shading; a neighbour across an edge does
// not.
constexpr float kLikeBrightness = 0.05f;

bool neighbours(const PixelBox& a, const PixelBox& b, int step) {
    const int dx = std::abs(a.x - b.x), dy = std::abs(a.y - b.y);
    return (dx != 0 || dy != 0) && dx <= step && dy <= step;
}

}  // namespace

std::vector<int> flatNeighbourCounts(const std::vector<BoxCandidate>& flat, int step) {
    std::vector<int> counts(flat.size(), 0);
    for (std::size_t i = 0; i < flat.size(); ++i) {
        for (std::size_t k = 0; k < flat.size(); ++k) {
            if (neighbours(flat[i].box, flat[k].box, step) &&
                std::fabs(flat[i].meanLuma - flat[k].meanLuma) <= kLikeBrightness) {
                ++counts[i];
            }
        }
    }
    return counts;
}

}  // namespace ruvovav::analysis
