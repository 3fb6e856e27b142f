// GLSL of the frequency pyramid: "ImageFrequencyDecomposition" (split and collapse of the
// Laplacian pyramid held in a mip chain) and "bicubicCopy" (a layer copied to another
// resolution, optionally keeping only values present at all four neighbours).
//
// Both upsample with the cubic B-spline, evaluated with four bilinear fetches instead of
// sixteen point fetches; that only works with linear filtering on the sampled level.
#pragma once

#include <string>

namespace Plugin::shaders {

// Uniforms of both programs besides the matrices and "source".
inline constexpr const char* kLevelSizeUniform = "levelSize";  // vec2: sampled level, texels
inline constexpr const char* kSampleModeUniform = "mode";      // int: 0 plain, else B-spline
inline constexpr const char* kGainUniform = "gain";            // float
inline constexpr const char* kMinAbsUniform = "minAbs";        // int: 0 off

inline constexpr const char* kPyramidHeader = R"(#version 410
uniform sampler2D source;
uniform vec2 levelSize;
uniform int mode;
in vec2 coordinate;
layout(location = 0) out vec4 fragColour;
)";

// Cubic B-spline reconstruction (smoothing, not interpolating) of the level at uv. Each axis
// folds its four weights into two bilinear taps placed between texel pairs. The taps and
// their blend depend on uv's position within its texel only, so samples whole texels apart
// share them: `shift` moves the taps by that many texels.
inline constexpr const char* kBSplineSampler = R"(
struct BSplineTaps {
    vec2 h0;     // lower tap per axis, in texels
    vec2 h1;     // upper tap
    vec2 lower;  // the lower tap's share
};

BSplineTaps bsplineTaps(vec2 uv) {
    vec2 p = uv * levelSize - vec2(0.5);
    vec2 f = fract(p);
    p = p - f;
    vec2 f2 = f * f;
    vec2 f3 = f2 * f;
    vec2 w0 = (-f3 + 3.0 * f2 - 3.0 * f + 1.0) / 6.0;
    vec2 w1 = (3.0 * f3 - 6.0 * f2 + 4.0) / 6.0;
    vec2 w2 = (-3.0 * f3 + 3.0 * f2 + 3.0 * f + 1.0) / 6.0;
    vec2 w3 = f3 / 6.0;
    vec2 g0 = w0 + w1;
    vec2 g1 = w2 + w3;
    return BSplineTaps(p - 0.5 + w1 / g0, p + 1.5 + w3 / g1, g0 / (g0 + g1));
}

vec4 bsplineFetch(BSplineTaps t, vec2 shift) {
    vec2 h0 = t.h0 + shift;
    vec2 h1 = t.h1 + shift;
    vec4 c00 = texture(source, vec2(h0.x, h0.y) / levelSize);
    vec4 c10 = texture(source, vec2(h1.x, h0.y) / levelSize);
    vec4 c01 = texture(source, vec2(h0.x, h1.y) / levelSize);
    vec4 c11 = texture(source, vec2(h1.x, h1.y) / levelSize);
    return mix(mix(c11, c01, t.lower.x), mix(c10, c00, t.lower.x), t.lower.y);
}

vec4 bsplineSample(vec2 uv) {
    return bsplineFetch(bsplineTaps(uv), vec2(0.0));
}

vec4 levelSample(vec2 uv) {
    if (mode != 0) {
        return bsplineSample(uv);
    }
    return texture(source, uv);
}
)";

inline constexpr const char* kFrequencyDecompositionMain = R"(
void main() {
    fragColour = levelSample(coordinate);
}
)";

// Per channel, the value of smallest magnitude among the sample and its four neighbours:
// isolated peaks vanish, extended structure survives. Alpha stays the centre's.
inline constexpr const char* kBicubicCopyMain = R"(
uniform float gain;
uniform int minAbs;

vec3 smallerMagnitude(vec3 c, vec3 n) {
    return mix(c, n, lessThan(abs(n), abs(c)));
}

// The sample `shift` texels of the sampled level away from this fragment's. The neighbours
// lie whole texels away, so the B-spline's taps are worked out once for all five samples.
vec4 sampleAt(BSplineTaps taps, vec2 shift) {
    if (mode != 0) {
        return bsplineFetch(taps, shift);
    }
    return texture(source, coordinate + shift / levelSize);
}

void main() {
    BSplineTaps taps = bsplineTaps(coordinate);
    vec4 c = sampleAt(taps, vec2(0.0));
    if (minAbs != 0) {
        c.rgb = smallerMagnitude(c.rgb, sampleAt(taps, vec2(-1.0, 0.0)).rgb);
        c.rgb = smallerMagnitude(c.rgb, sampleAt(taps, vec2(1.0, 0.0)).rgb);
        c.rgb = smallerMagnitude(c.rgb, sampleAt(taps, vec2(0.0, -1.0)).rgb);
        c.rgb = smallerMagnitude(c.rgb, sampleAt(taps, vec2(0.0, 1.0)).rgb);
    }
    c.rgb = c.rgb * gain;
    fragColour = c;
}
)";

inline std::string frequencyDecompositionFragment() {
    return std::string(kPyramidHeader) + kBSplineSampler + kFrequencyDecompositionMain;
}

inline std::string bicubicCopyFragment() {
    return std::string(kPyramidHeader) + kBSplineSampler + kBicubicCopyMain;
}

}  // namespace Plugin::shaders
