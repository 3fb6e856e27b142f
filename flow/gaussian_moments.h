// The Gaussian applicability of the polynomial expansion and the entries of its inverse
// moment matrix that the expansion needs.
#pragma once

#include <cstddef>
#include <vector>

namespace Plugin {

struct PolyExpansionKernel {
    int n = 0;
    // Taps for offsets -n ... n, stored at index offset + n.
    std::vector<float> g, xg, xxg;
    float ig11 = 0.0f, ig03 = 0.0f, ig33 = 0.0f, ig55 = 0.0f;

    float gAt(int k) const { return g[std::size_t(k + n)]; }
    float xgAt(int k) const { return xg[std::size_t(k + n)]; }
    float xxgAt(int k) const { return xxg[std::size_t(k + n)]; }
};

// Builds the kernel for half-size n; a singular moment matrix leaves the inverse
// entries zero and prints "invert Error!!!".
PolyExpansionKernel makePolyExpansionKernel(int n, double sigma);

// Inverts a 6x6 matrix in single precision by LU with row pivoting; false when singular.
bool invertMatrix6(const float (&m)[6][6], float (&inverse)[6][6]);

}  // namespace Plugin
