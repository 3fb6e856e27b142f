// GLSL of "noiseRemoval": wavelet shrinkage of one level's detail sub-bands, driven by a
// weighted local magnitude of a second (estimate) decomposition and by local brightness.
#pragma once

namespace Plugin::shaders {

// Uniform names; the coefficients are on "source" (unit 0).
inline constexpr const char* kEstimateUniform = "estimate";        // sampler2D, unit 1
inline constexpr const char* kBrightnessUniform = "brightness";    // sampler2D, unit 2
inline constexpr const char* kImageSizeUniform = "imageSize";      // vec2: estimate texture
inline constexpr const char* kPassIndexUniform = "passIndex";      // int: 0 on the first pass
inline constexpr const char* kLevelExtentUniform = "levelExtent";  // vec2: this level's region
inline constexpr const char* kBandLowUniforms[3] = {"hhLow", "lhLow", "hlLow"};
inline constexpr const char* kBandHighUniforms[3] = {"hhHigh", "lhHigh", "hlHigh"};
inline constexpr const char* kRemovalUniform = "removal";  // vec3: share of the result
inline constexpr const char* kMultiplierUniforms[3] = {"multipliers0", "multipliers1",
                                                       "multipliers2"};  // vec4, vec4, vec3

inline constexpr const char* kNoiseRemovalFragment = R"(#version 410
uniform sampler2D source;
uniform sampler2D estimate;
uniform sampler2D brightness;
uniform vec2 imageSize;
uniform int passIndex;
uniform vec2 levelExtent;
uniform vec3 hhLow;
uniform vec3 hhHigh;
uniform vec3 lhLow;
uniform vec3 lhHigh;
uniform vec3 hlLow;
uniform vec3 hlHigh;
uniform vec3 removal;
uniform vec4 multipliers0;
uniform vec4 multipliers1;
uniform vec3 multipliers2;
in vec2 coordinate;
layout(location = 0) out vec4 fragColour;

// Piecewise linear through the eleven multipliers at brightness 0, 0.1, ..., 1, held at
// both ends. A brightness on a grid point takes the lower interval at its upper end: j is
// the first grid index with b <= j * 0.1, found from b * 10 and then checked against the
// same products a search in rising order would compare with.
float brightnessMultiplier(float b) {
    float m[11] = float[11](multipliers0.x, multipliers0.y, multipliers0.z, multipliers0.w,
                            multipliers1.x, multipliers1.y, multipliers1.z, multipliers1.w,
                            multipliers2.x, multipliers2.y, multipliers2.z);
    if (b <= 0.0) {
        return m[0];
    }
    if (!(b <= float(10) * 0.1)) {  // above the grid, or not a number as the search would
        return m[10];
    }
    int j = clamp(int(ceil(b * 10.0)), 1, 10);
    if (b > float(j) * 0.1) {
        j += 1;
    } else if (j > 1 && b <= float(j - 1) * 0.1) {
        j -= 1;
    }
    return mix(m[j - 1], m[j], (b - float(j - 1) * 0.1) * 10.0);
}

// One row of the magnitude's window added to `sum`, tap by tap from the left.
vec3 addRow(vec3 sum, int y, ivec4 x, int x4, float w0, float w1, float w2, float w3, float w4) {
    sum += w0 * abs(texelFetch(estimate, ivec2(x.x, y), 0).rgb);
    sum += w1 * abs(texelFetch(estimate, ivec2(x.y, y), 0).rgb);
    sum += w2 * abs(texelFetch(estimate, ivec2(x.z, y), 0).rgb);
    sum += w3 * abs(texelFetch(estimate, ivec2(x.w, y), 0).rgb);
    sum += w4 * abs(texelFetch(estimate, ivec2(x4, y), 0).rgb);
    return sum;
}

// Weighted mean magnitude over the 5 x 5 neighbourhood, clamped to the texture's edge as the
// sampler would. The weights sum to 273 but the mean divides by 271, as the thresholds were
// measured with. Fetching texels reads what the linear sampler reads at their centres, at a
// fraction of its cost on a CPU rasteriser; clamping the window's five columns and five rows
// once, rather than each of the 25 taps, saves a CPU rasteriser a quarter of the pass.
vec3 localMagnitude() {
    ivec2 last = ivec2(imageSize) - 1;
    ivec2 p = ivec2(coordinate * imageSize);
    ivec4 xs = clamp(p.x + ivec4(-2, -1, 0, 1), 0, last.x);
    ivec4 ys = clamp(p.y + ivec4(-2, -1, 0, 1), 0, last.y);
    int x4 = clamp(p.x + 2, 0, last.x);
    int y4 = clamp(p.y + 2, 0, last.y);
    vec3 sum = vec3(0.0);
    sum = addRow(sum, ys.x, xs, x4, 1.0, 4.0, 7.0, 4.0, 1.0);
    sum = addRow(sum, ys.y, xs, x4, 4.0, 16.0, 26.0, 16.0, 4.0);
    sum = addRow(sum, ys.z, xs, x4, 7.0, 26.0, 41.0, 26.0, 7.0);
    sum = addRow(sum, ys.w, xs, x4, 4.0, 16.0, 26.0, 16.0, 4.0);
    sum = addRow(sum, y4, xs, x4, 1.0, 4.0, 7.0, 4.0, 1.0);
    return sum * 0.003690036900369;
}

void main() {
    vec4 coef = texture(source, coordinate);
    vec3 lo = vec3(0.0);
    vec3 hi = vec3(0.0);
    vec2 q = coordinate / levelExtent;
    if (q.x > 1.0 || q.y > 1.0) {
        discard;  // a finer level: its own pass writes it
    }
    if (q.x > 0.5 && q.y > 0.5) {
        lo = hhLow;
        hi = hhHigh;
    } else if (q.x > 0.5) {
        lo = lhLow;
        hi = lhHigh;
    } else if (q.y > 0.5) {
        lo = hlLow;
        hi = hlHigh;
    } else if (passIndex != 0) {
        discard;  // a coarser level, written by an earlier pass
    }
    float m = brightnessMultiplier(texture(brightness, fract(q * 2.0)).r);
    lo = lo * m;
    hi = hi * m;
    vec3 e = localMagnitude();
    vec3 orig = coef.rgb;
    for (int c = 0; c < 3; ++c) {
        if (e[c] < lo[c]) {
            coef[c] = 0.0;
        } else if (e[c] < hi[c]) {
            coef[c] = coef[c] * (e[c] - lo[c]) / (hi[c] - lo[c]);
        }
    }
    coef.rgb = mix(orig, coef.rgb, removal);
    fragColour = coef;
}
)";

}  // namespace Plugin::shaders
