// GLSL of the two diagnostic views: "AnalysisBox" darkens the picture outside the box the
// noise analysis measures; "viewFrequency" shows one frequency layer, lifted so that zero
// detail is mid grey.
#pragma once

namespace Plugin::shaders {

inline constexpr const char* kBoxMinimumUniform = "boxMinimum";  // vec2, texture coordinates
inline constexpr const char* kBoxMaximumUniform = "boxMaximum";  // vec2
inline constexpr const char* kViewModeUniform = "mode";          // int: plane shown as grey
inline constexpr const char* kContrastUniform = "contrast";      // float

inline constexpr const char* kAnalysisBoxFragment = R"(#version 410
uniform sampler2D source;
uniform vec2 boxMinimum;
uniform vec2 boxMaximum;
in vec2 coordinate;
layout(location = 0) out vec4 fragColour;
void main() {
    vec4 c = texture(source, coordinate);
    if (coordinate.x < boxMinimum.x || coordinate.x > boxMaximum.x ||
        coordinate.y < boxMinimum.y || coordinate.y > boxMaximum.y) {
        c.rgb = c.rgb * 0.5;
    }
    fragColour = c;
}
)";

// Mode 1 shows Y as grey, 2 U, 3 V; any other mode all three planes as colour.
inline constexpr const char* kViewFrequencyFragment = R"(#version 410
uniform sampler2D source;
uniform int mode;
uniform float contrast;
in vec2 coordinate;
layout(location = 0) out vec4 fragColour;
void main() {
    vec4 c = texture(source, coordinate);
    c.rgb = c.rgb * contrast;
    if (mode == 1) {
        c.g = c.r;
        c.b = c.r;
    } else if (mode == 2) {
        c.r = c.g;
        c.b = c.g;
    } else if (mode == 3) {
        c.r = c.b;
        c.g = c.b;
    }
    c.rgb = c.rgb + vec3(0.5);
    fragColour = c;
}
)";

}  // namespace Plugin::shaders
