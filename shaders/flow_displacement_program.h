// GLSL of "opticalFlowDisplacement": redraws a neighbouring frame where the measured motion
// says each of its pixels lies in the current frame.
#pragma once

namespace Plugin::shaders {

// Uniform names; the frame to align is on "source" (unit 0).
inline constexpr const char* kSourceExtentUniform = "sourceExtent";  // vec2: (uMax, vMax)
inline constexpr const char* kFlowUniform = "flow";                  // sampler2D, unit 1
inline constexpr const char* kFlowExtentUniform = "flowExtent";      // vec2: (uMax, vMax)
inline constexpr const char* kPixelStepUniform = "pixelStep";        // vec2: 1 / flow size

// The backward flow (z, w) is in pixels of the reduced measuring level: the pixel step turns
// it into normalised coordinates, so the same field serves the full-resolution fetch.
// Positions outside [0, 1] are mirrored (period 2) so the edge strip that moved in from
// outside repeats picture instead of smearing the last row or column.
inline constexpr const char* kOpticalFlowDisplacementFragment = R"(#version 410
uniform sampler2D source;
uniform vec2 sourceExtent;
uniform sampler2D flow;
uniform vec2 flowExtent;
uniform vec2 pixelStep;
in vec2 coordinate;
layout(location = 0) out vec4 fragColour;
vec2 mirrored(vec2 p) {
    return vec2(1.0) - abs(fract(p * 0.5) * 2.0 - vec2(1.0));
}
void main() {
    vec4 f = texture(flow, coordinate * flowExtent);
    vec2 d = f.zw * pixelStep;
    vec2 p = coordinate - d;
    fragColour = texture(source, mirrored(p) * sourceExtent);
}
)";

}  // namespace Plugin::shaders
