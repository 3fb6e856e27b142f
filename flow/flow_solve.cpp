#include "flow/flow_solve.h"

#include <cmath>

namespace Plugin {

void solveFlowRows(const TextureDataV5& m, TextureDataV4& flow, FlowDirection direction, int y0,
                   int y1) {
    const bool forward = direction == FlowDirection::Forward;
    for (int y = y0; y < y1; ++y) {
        const vec5* sys = &m.at(0, y);
        plugin_glsl_types::genVec4<float>* f = &flow.at(0, y);
        for (int x = 0; x < m.width; ++x) {
            const float g11 = sys[x].v[0], g12 = sys[x].v[1], g22 = sys[x].v[2];
            const float h1 = sys[x].v[3], h2 = sys[x].v[4];
            const float det = g11 * g22 - g12 * g12;
            // Flat or one-dimensional texture: keep the coarser estimate.
            if (!(std::fabs(double(det)) > 1e-6)) continue;
            const float dx = (g11 * h2 - g12 * h1) / det;
            const float dy = (g22 * h1 - g12 * h2) / det;
            if (forward) {
                f[x].x = dx;
                f[x].y = dy;
            } else {
                f[x].z = dx;
                f[x].w = dy;
            }
        }
    }
}

}  // namespace Plugin
