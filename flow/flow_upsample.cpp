#include "flow/flow_upsample.h"

#include <algorithm>

namespace Plugin {

namespace {

using Flow4 = plugin_glsl_types::genVec4<float>;

// Weights 4, 2, 2, 1 over 9 interpolate; the factor 2 rescales to the finer grid.
Flow4 blend(const Flow4& c, const Flow4& a, const Flow4& b, const Flow4& d) {
    constexpr float k = 0.22222222f;
    return {k * (4.0f * c.x + 2.0f * a.x + 2.0f * b.x + d.x),
            k * (4.0f * c.y + 2.0f * a.y + 2.0f * b.y + d.y),
            k * (4.0f * c.z + 2.0f * a.z + 2.0f * b.z + d.z),
            k * (4.0f * c.w + 2.0f * a.w + 2.0f * b.w + d.w)};
}

// Three clamped coarse rows around one coarse row, and the fine rows they feed.
struct RowSet {
    const Flow4* up;
    const Flow4* mid;
    const Flow4* down;
    Flow4* even;
    Flow4* odd;  // null when the fine image has no row 2y + 1
};

void upsampleRow(const RowSet& r, int coarseWidth, int fineWidth) {
    for (int x = 0; x < coarseWidth; ++x) {
        const int xm = std::max(x - 1, 0);
        const int xp = std::min(x + 1, coarseWidth - 1);
        const bool oddFits = 2 * x + 1 < fineWidth;
        const Flow4& c = r.mid[x];
        r.even[2 * x] = blend(c, r.mid[xm], r.up[x], r.up[xm]);
        if (oddFits) r.even[2 * x + 1] = blend(c, r.mid[xp], r.up[x], r.up[xp]);
        if (!r.odd) continue;
        r.odd[2 * x] = blend(c, r.mid[xm], r.down[x], r.down[xm]);
        if (oddFits) r.odd[2 * x + 1] = blend(c, r.mid[xp], r.down[x], r.down[xp]);
    }
    // An odd fine width leaves a last column that no coarse pixel reaches.
    if (fineWidth > 2 * coarseWidth && fineWidth >= 2) {
        r.even[fineWidth - 1] = r.even[fineWidth - 2];
        if (r.odd) r.odd[fineWidth - 1] = r.odd[fineWidth - 2];
    }
}

}  // namespace

void upsampleFlowRows(const TextureDataV4& coarse, TextureDataV4& fine, int y0, int y1) {
    const int lastY = coarse.height - 1;
    for (int y = y0; y < y1; ++y) {
        const bool hasOdd = 2 * y + 1 < fine.height;
        const RowSet rows{&coarse.at(0, std::max(y - 1, 0)), &coarse.at(0, y),
                          &coarse.at(0, std::min(y + 1, lastY)), &fine.at(0, 2 * y),
                          hasOdd ? &fine.at(0, 2 * y + 1) : nullptr};
        upsampleRow(rows, coarse.width, fine.width);
    }
    // Likewise an odd fine height; only the band at the bottom owns that row.
    if (y1 == coarse.height && fine.height > 2 * coarse.height && fine.height >= 2) {
        const Flow4* above = &fine.at(0, fine.height - 2);
        Flow4* last = &fine.at(0, fine.height - 1);
        std::copy(above, above + fine.width, last);
    }
}

}  // namespace Plugin
