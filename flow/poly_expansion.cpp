#include "flow/poly_expansion.h"

#include <algorithm>
#include <vector>

namespace Plugin {

namespace {

// Three running sums per column: smoothed value, first and second vertical moments.
struct ColumnSums {
    float t0, t1, t2;
};

// Vertical pass of row y into sums[n ... n + width), rows clamped at the image edges.
void verticalPass(const TextureDataV1& src, const PolyExpansionKernel& k, int y, ColumnSums* sums) {
    const float* row = &src.at(0, y);
    const float g0 = k.gAt(0);
    for (int x = 0; x < src.width; ++x) sums[x] = {g0 * row[x], 0.0f, 0.0f};
    for (int d = 1; d <= k.n; ++d) {
        const float* above = &src.at(0, std::max(y - d, 0));
        const float* below = &src.at(0, std::min(y + d, src.height - 1));
        const float g = k.gAt(d), xg = k.xgAt(d), xxg = k.xxgAt(d);
        for (int x = 0; x < src.width; ++x) {
            const float p = above[x] + below[x];
            sums[x].t0 += g * p;
            sums[x].t1 += xg * (below[x] - above[x]);
            sums[x].t2 += xxg * p;
        }
    }
}

// Repeats the edge columns n times so the horizontal pass needs no bounds checks.
void padEdges(ColumnSums* padded, int width, int n) {
    for (int i = 0; i < n; ++i) {
        padded[i] = padded[n];
        padded[n + width + i] = padded[n + width - 1];
    }
}

// Horizontal pass over the padded sums, then projection through the inverse moments.
void horizontalPass(const ColumnSums* sums, const PolyExpansionKernel& k, int width, vec5* out) {
    const float g0 = k.gAt(0);
    for (int x = 0; x < width; ++x) {
        float b1 = g0 * sums[x].t0, b3 = g0 * sums[x].t1, b5 = g0 * sums[x].t2;
        float b2 = 0.0f, b4 = 0.0f, b6 = 0.0f;
        for (int d = 1; d <= k.n; ++d) {
            const ColumnSums& r = sums[x + d];
            const ColumnSums& l = sums[x - d];
            const float g = k.gAt(d), xg = k.xgAt(d), xxg = k.xxgAt(d);
            b1 += g * (r.t0 + l.t0);
            b4 += xxg * (r.t0 + l.t0);
            b2 += xg * (r.t0 - l.t0);
            b3 += g * (r.t1 + l.t1);
            b6 += xg * (r.t1 - l.t1);
            b5 += g * (r.t2 + l.t2);
        }
        out[x] = {{b3 * k.ig11, b2 * k.ig11, b1 * k.ig03 + b5 * k.ig33, b1 * k.ig03 + b4 * k.ig33,
                   b6 * k.ig55}};
    }
}

}  // namespace

void expandPolynomialRows(const TextureDataV1& src, TextureDataV5& dst,
                          const PolyExpansionKernel& kernel, int y0, int y1) {
    const int n = kernel.n;
    // One padded row buffer for the whole band.
    std::vector<ColumnSums> buffer(size_t(src.width + 2 * n));
    ColumnSums* centre = buffer.data() + n;
    for (int y = y0; y < y1; ++y) {
        verticalPass(src, kernel, y, centre);
        padEdges(buffer.data(), src.width, n);
        horizontalPass(centre, kernel, src.width, &dst.at(0, y));
    }
}

void expandPolynomialRows(const TextureDataV1& src, TextureDataV5& dst, int n, double sigma, int y0,
                          int y1) {
    expandPolynomialRows(src, dst, makePolyExpansionKernel(n, sigma), y0, y1);
}

}  // namespace Plugin
