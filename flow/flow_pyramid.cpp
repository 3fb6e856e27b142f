#include "flow/flow_pyramid.h"

#include <algorithm>

namespace Plugin {

int flowPyramidLevels(int width, int height, int maxLevels) {
    // Counted in double so the 4-pixel limit compares exactly at powers of two.
    double scale = 1.0;
    int levels = 0;
    for (int i = 0; i < maxLevels; ++i) {
        scale *= 0.5;
        if (width * scale < 4.0 || height * scale < 4.0) break;
        ++levels;
    }
    return levels;
}

namespace {

// One destination pixel from three clamped source rows around column sx.
float binomialAt(const float* up, const float* mid, const float* down, int sx, int lastX) {
    const int xm = std::max(sx - 1, 0);
    const int xc = std::min(sx, lastX);
    const int xp = std::min(sx + 1, lastX);
    return 0.25f * mid[xc] + 0.125f * (mid[xm] + mid[xp] + up[xc] + down[xc]) +
           0.0625f * (up[xm] + up[xp] + down[xm] + down[xp]);
}

}  // namespace

void reduceBinomialRows(const TextureDataV1& src, TextureDataV1& dst, int y0, int y1) {
    const int lastX = src.width - 1;
    const int lastY = src.height - 1;
    for (int y = y0; y < y1; ++y) {
        // Clamping the rows once here keeps the column loop branch-free apart from x.
        const int sy = std::min(2 * y, lastY);
        const float* up = &src.at(0, std::max(sy - 1, 0));
        const float* mid = &src.at(0, sy);
        const float* down = &src.at(0, std::min(sy + 1, lastY));
        float* out = &dst.at(0, y);
        for (int x = 0; x < dst.width; ++x) out[x] = binomialAt(up, mid, down, 2 * x, lastX);
    }
}

}  // namespace Plugin
