// GLSL of the standard vertex programs and the plain copy and colour passes.
//
// The vertex inputs use the attribute names of gl/attribute_names.h, so programs linked
// with "use shader attribute names" find them at the fixed locations.
#pragma once

namespace Plugin::shaders {

// Uniform names shared by every program drawn with the standard vertex program.
inline constexpr const char* kProjectionUniform = "projection";
inline constexpr const char* kModelViewUniform = "modelView";
inline constexpr const char* kSourceUniform = "source";
inline constexpr const char* kColourUniform = "colour";
// Uniforms of "copyPaddedImage".
inline constexpr const char* kExtentUniform = "extent";
inline constexpr const char* kSourceSizeUniform = "sourceSize";
inline constexpr const char* kDestinationSizeUniform = "destinationSize";
inline constexpr const char* kModeUniform = "mode";

// Position through projection x model-view; the texture coordinate passes through.
inline constexpr const char* kStandardVertex = R"(#version 410
in vec4 position;
in vec2 texCoord;
uniform mat4 projection;
uniform mat4 modelView;
out vec2 coordinate;
void main() {
    coordinate = texCoord;
    gl_Position = projection * modelView * position;
}
)";

// The same without a texture coordinate, for flat-colour drawing.
inline constexpr const char* kPositionOnlyVertex = R"(#version 410
in vec4 position;
uniform mat4 projection;
uniform mat4 modelView;
void main() {
    gl_Position = projection * modelView * position;
}
)";

// "glCopy": the source texel at the interpolated coordinate.
inline constexpr const char* kCopyFragment = R"(#version 410
uniform sampler2D source;
in vec2 coordinate;
out vec4 fragColour;
void main() {
    fragColour = texture(source, coordinate);
}
)";

// "singleColor": one uniform colour everywhere.
inline constexpr const char* kSingleColourFragment = R"(#version 410
uniform vec4 colour;
out vec4 fragColour;
void main() {
    fragColour = colour;
}
)";

// "copyPaddedImage": the source level stretched over a larger target by mirrored
// repetition, reflected about the image's right and top edges (the edge texel is its own
// first outside neighbour). Mode 1 takes log2 of the colour, mode 2 exp2; alpha is kept.
inline constexpr const char* kCopyPaddedFragment = R"(#version 410
uniform sampler2D source;
uniform vec2 extent;
uniform vec2 sourceSize;
uniform vec2 destinationSize;
uniform int mode;
in vec2 coordinate;
layout(location = 0) out vec4 fragColour;
void main() {
    vec2 p = coordinate / extent / sourceSize * destinationSize;
    p = vec2(1.0) - abs(fract(p * 0.5) * 2.0 - vec2(1.0));
    vec4 c = texture(source, p * extent);
    if (mode == 1) {
        c.rgb = log2(c.rgb);
    } else if (mode == 2) {
        c.rgb = exp2(c.rgb);
    }
    fragColour = c;
}
)";

}  // namespace Plugin::shaders
