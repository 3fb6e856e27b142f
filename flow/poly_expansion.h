// Quadratic polynomial expansion of a grey image under the Gaussian applicability.
#pragma once

#include "flow/gaussian_moments.h"
#include "image/texture_data.h"

namespace Plugin {

// Coefficient rows [y0, y1) of src into dst (same size), five per pixel:
// (b_y, b_x, a_yy, a_xx, a_xy). Builds its own kernel, as every worker does.
void expandPolynomialRows(const TextureDataV1& src, TextureDataV5& dst, int n, double sigma, int y0,
                          int y1);

// The same with a kernel already built.
void expandPolynomialRows(const TextureDataV1& src, TextureDataV5& dst,
                          const PolyExpansionKernel& kernel, int y0, int y1);

}  // namespace Plugin
