#include "flow/flow_update.h"

namespace Plugin {

BorderDamping borderDampingFor(int width, int height) {
    if (width < 8 || height < 8) return {1, {0.4472f}};
    if (width < 16 || height < 16) return {3, {0.14f, 0.4472f, 0.4472f}};
    return {5, {0.14f, 0.14f, 0.4472f, 0.4472f, 0.4472f}};
}

namespace {

// Damping factor of one coordinate; both edges apply when the image is narrow.
float edgeScale(const BorderDamping& d, int i, int size) {
    float s = 1.0f;
    if (i < d.count) s *= d.table[size_t(i)];
    if (i >= size - d.count) s *= d.table[size_t(size - 1 - i)];
    return s;
}

vec5 bilinear(const TextureDataV5& r1, int x1, int y1, float fx, float fy) {
    const float* a = r1.at(x1, y1).v;
    const float* b = r1.at(x1 + 1, y1).v;
    const float* c = r1.at(x1, y1 + 1).v;
    const float* d = r1.at(x1 + 1, y1 + 1).v;
    const float w00 = (1.0f - fx) * (1.0f - fy), w10 = fx * (1.0f - fy);
    const float w01 = (1.0f - fx) * fy, w11 = fx * fy;
    vec5 s;
    for (int i = 0; i < 5; ++i) s.v[i] = w00 * a[i] + w10 * b[i] + w01 * c[i] + w11 * d[i];
    return s;
}

// R1 at the displaced position. Coordinates truncate toward zero, so a target in
// (-1, 0) still counts as inside and interpolates with a negative fraction. Targets
// outside reuse the reference's own quadratic terms and no linear terms.
vec5 sampleTarget(const vec5& ref, const TextureDataV5& r1, float px, float py) {
    const int w = r1.width, h = r1.height;
    // Compared before converting so that far-off or non-finite targets never overflow.
    if (!(px > -1.0f && px < float(w) && py > -1.0f && py < float(h)))
        return {{0.0f, 0.0f, ref.v[2], ref.v[3], ref.v[4]}};
    const int x1 = int(px), y1 = int(py);
    if (x1 >= w - 1 || y1 >= h - 1) return r1.at(x1, y1);
    return bilinear(r1, x1, y1, px - float(x1), py - float(y1));
}

// The averaged quadratic A and the right-hand side h, damped, as normal equations.
vec5 systemTerms(const vec5& ref, const vec5& s, float dx, float dy, float scale) {
    float r4 = (ref.v[2] + s.v[2]) * 0.5f;
    float r5 = (ref.v[3] + s.v[3]) * 0.5f;
    float r6 = (ref.v[4] + s.v[4]) * 0.25f;
    float r2 = (ref.v[0] - s.v[0]) * 0.5f + r4 * dy + r6 * dx;
    float r3 = (ref.v[1] - s.v[1]) * 0.5f + r6 * dy + r5 * dx;
    r2 *= scale;
    r3 *= scale;
    r4 *= scale;
    r5 *= scale;
    r6 *= scale;
    return {{r4 * r4 + r6 * r6, (r4 + r5) * r6, r5 * r5 + r6 * r6, r4 * r2 + r6 * r3,
             r6 * r2 + r5 * r3}};
}

}  // namespace

void updateMatrixRows(const TextureDataV5& r0, const TextureDataV5& r1, const TextureDataV4& flow,
                      FlowDirection direction, TextureDataV5& m, int y0, int y1) {
    const int w = m.width, h = m.height;
    const BorderDamping damping = borderDampingFor(w, h);
    const bool forward = direction == FlowDirection::Forward;
    for (int y = y0; y < y1; ++y) {
        const vec5* ref = &r0.at(0, y);
        const plugin_glsl_types::genVec4<float>* f = &flow.at(0, y);
        vec5* out = &m.at(0, y);
        const float yScale = edgeScale(damping, y, h);
        for (int x = 0; x < w; ++x) {
            const float dx = forward ? f[x].x : f[x].z;
            const float dy = forward ? f[x].y : f[x].w;
            const vec5 s = sampleTarget(ref[x], r1, float(x) + dx, float(y) + dy);
            out[x] = systemTerms(ref[x], s, dx, dy, yScale * edgeScale(damping, x, w));
        }
    }
}

}  // namespace Plugin
