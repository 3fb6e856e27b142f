// GLSL of the colour conversions between the host's premultiplied RGBA and the straight-
// alpha Y'UV (r = Y, g = U, b = V) every denoising pass works in.
//
// BT.601 analogue Y'UV, U scaled to +-0.436 and V to +-0.615. Nothing is clamped: values
// outside [0, 1] convert linearly in both directions. Each program is three texts joined:
// the common header, the conversion, and main.
#pragma once

#include <string>

namespace Plugin::shaders {

inline constexpr const char* kColourHeader = R"(#version 410
layout(location = 0) out vec4 fragColour;
in vec2 coordinate;
uniform sampler2D source;
)";

// Columns of the forward matrix; the matrix multiplies the colour as a column vector.
inline constexpr const char* kRgbToYuvFunction = R"(
vec3 convert(vec3 rgb) {
    mat3 toYuv = mat3(vec3(0.299, -0.14713, 0.615),
                      vec3(0.587, -0.28886, -0.51499),
                      vec3(0.114, 0.436, -0.10001));
    return toYuv * rgb;
}
)";

inline constexpr const char* kYuvToRgbFunction = R"(
vec3 convert(vec3 yuv) {
    mat3 toRgb = mat3(vec3(1.0, 1.0, 1.0),
                      vec3(0.0, -0.39465, 2.03211),
                      vec3(1.13983, -0.58060, 0.0));
    return toRgb * yuv;
}
)";

// Undoes the premultiplication first; a transparent texel keeps its colour undivided.
inline constexpr const char* kRgbToYuvMain = R"(
void main() {
    vec4 c = texture(source, coordinate);
    if (c.a != 0.0) {
        c.rgb = c.rgb / c.a;
    }
    c.rgb = convert(c.rgb);
    fragColour = c;
}
)";

// Premultiplies again after the conversion.
inline constexpr const char* kYuvToRgbMain = R"(
void main() {
    vec4 c = texture(source, coordinate);
    c.rgb = convert(c.rgb);
    c.rgb = c.rgb * c.a;
    fragColour = c;
}
)";

inline std::string rgbToYuvFragment() {
    return std::string(kColourHeader) + kRgbToYuvFunction + kRgbToYuvMain;
}

inline std::string yuvToRgbFragment() {
    return std::string(kColourHeader) + kYuvToRgbFunction + kYuvToRgbMain;
}

}  // namespace Plugin::shaders
