#include "flow/gaussian_moments.h"

#include <cmath>
#include <cstdio>
#include <limits>
#include <utility>

namespace Plugin {

namespace {

constexpr int kBasis = 6;

// Normalised Gaussian taps and their first and second moments, all stored as floats.
void fillTaps(PolyExpansionKernel& k, double sigma) {
    const int n = k.n;
    const size_t taps = size_t(2 * n + 1);
    k.g.assign(taps, 0.0f);
    k.xg.assign(taps, 0.0f);
    k.xxg.assign(taps, 0.0f);
    double sum = 0.0;
    for (int x = -n; x <= n; ++x) {
        k.g[size_t(x + n)] = float(std::exp(-double(x * x) / (2.0 * sigma * sigma)));
        sum += k.g[size_t(x + n)];
    }
    for (int x = -n; x <= n; ++x) {
        float& g = k.g[size_t(x + n)];
        g = float(g / sum);
        k.xg[size_t(x + n)] = float(x) * g;
        k.xxg[size_t(x + n)] = float(x * x) * g;
    }
}

// Moment matrix over the basis (1, x, y, x^2, y^2, xy); symmetry fills the rest.
void fillMoments(const PolyExpansionKernel& k, float (&m)[6][6]) {
    for (auto& row : m)
        for (float& v : row) v = 0.0f;
    for (int y = -k.n; y <= k.n; ++y) {
        for (int x = -k.n; x <= k.n; ++x) {
            const float w = k.gAt(y) * k.gAt(x);
            const float xx = float(x * x);
            m[0][0] += w;
            m[1][1] += w * xx;
            m[3][3] += w * xx * xx;
            m[5][5] += w * xx * float(y * y);
        }
    }
    m[2][2] = m[0][3] = m[0][4] = m[3][0] = m[4][0] = m[1][1];
    m[4][4] = m[3][3];
    m[3][4] = m[4][3] = m[5][5];
}

// In-place LU of a with row pivoting; perm records the source row of each row.
bool decompose(float (&a)[6][6], int (&perm)[6]) {
    for (int i = 0; i < kBasis; ++i) perm[i] = i;
    for (int col = 0; col < kBasis; ++col) {
        int pivot = col;
        for (int r = col + 1; r < kBasis; ++r)
            if (std::fabs(a[r][col]) > std::fabs(a[pivot][col])) pivot = r;
        if (std::fabs(a[pivot][col]) < std::numeric_limits<float>::epsilon()) return false;
        if (pivot != col) {
            std::swap(a[pivot], a[col]);
            std::swap(perm[pivot], perm[col]);
        }
        for (int r = col + 1; r < kBasis; ++r) {
            a[r][col] /= a[col][col];
            for (int c = col + 1; c < kBasis; ++c) a[r][c] -= a[r][col] * a[col][c];
        }
    }
    return true;
}

// Solves L U x = P e_j for every unit vector, giving the inverse column by column.
void solveIdentity(const float (&lu)[6][6], const int (&perm)[6], float (&inverse)[6][6]) {
    for (int j = 0; j < kBasis; ++j) {
        float x[kBasis];
        for (int i = 0; i < kBasis; ++i) {
            float s = (perm[i] == j) ? 1.0f : 0.0f;
            for (int c = 0; c < i; ++c) s -= lu[i][c] * x[c];
            x[i] = s;
        }
        for (int i = kBasis - 1; i >= 0; --i) {
            float s = x[i];
            for (int c = i + 1; c < kBasis; ++c) s -= lu[i][c] * x[c];
            x[i] = s / lu[i][i];
        }
        for (int i = 0; i < kBasis; ++i) inverse[i][j] = x[i];
    }
}

}  // namespace

bool invertMatrix6(const float (&m)[6][6], float (&inverse)[6][6]) {
    for (auto& row : inverse)
        for (float& v : row) v = 0.0f;
    float lu[6][6];
    for (int r = 0; r < kBasis; ++r)
        for (int c = 0; c < kBasis; ++c) lu[r][c] = m[r][c];
    int perm[6];
    if (!decompose(lu, perm)) return false;
    solveIdentity(lu, perm, inverse);
    return true;
}

PolyExpansionKernel makePolyExpansionKernel(int n, double sigma) {
    // A vanishing sigma falls back to a width proportional to the window.
    if (sigma < double(std::numeric_limits<float>::epsilon())) sigma = n * 0.3;
    PolyExpansionKernel k;
    k.n = n;
    fillTaps(k, sigma);
    float moments[6][6];
    fillMoments(k, moments);
    float inverse[6][6];
    if (!invertMatrix6(moments, inverse)) std::puts("invert Error!!!");
    k.ig11 = inverse[1][1];
    k.ig03 = inverse[3][0];
    k.ig33 = inverse[3][3];
    k.ig55 = inverse[5][5];
    return k;
}

}  // namespace Plugin
