// GLSL 4.10 sources shared by the GL framework tests.
//
// Every declared input and uniform is used, so the linker keeps it active and its
// location can be queried.
#pragma once

namespace test {

inline constexpr char kVertexOurNames[] = R"(#version 410 core
in vec4 position;
in vec2 texCoord;
out vec2 uv;
void main() {
    uv = texCoord;
    gl_Position = position;
}
)";

inline constexpr char kVertexStandardNames[] = R"(#version 410 core
in vec4 in_Position;
in vec2 in_TexCoord;
out vec2 uv;
void main() {
    uv = in_TexCoord;
    gl_Position = in_Position;
}
)";

inline constexpr char kVertexTwoOurNames[] = R"(#version 410 core
in vec4 position;
in vec2 texCoord0;
in vec2 texCoord1;
out vec2 uv;
void main() {
    uv = texCoord0 + texCoord1;
    gl_Position = position;
}
)";

inline constexpr char kVertexTwoStandardNames[] = R"(#version 410 core
in vec4 in_Position;
in vec2 in_TexCoord0;
in vec2 in_TexCoord1;
out vec2 uv;
void main() {
    uv = in_TexCoord0 + in_TexCoord1;
    gl_Position = in_Position;
}
)";

inline constexpr char kGeometryPassThrough[] = R"(#version 410 core
layout(triangles) in;
layout(triangle_strip, max_vertices = 3) out;
in vec2 uv[];
out vec2 geometryUv;
void main() {
    for (int i = 0; i < 3; ++i) {
        geometryUv = uv[i];
        gl_Position = gl_in[i].gl_Position;
        EmitVertex();
    }
    EndPrimitive();
}
)";

inline constexpr char kFragmentAfterGeometry[] = R"(#version 410 core
in vec2 geometryUv;
out vec4 fragColor;
void main() {
    fragColor = vec4(geometryUv, 0.0, 1.0);
}
)";

inline constexpr char kFragmentPlain[] = R"(#version 410 core
in vec2 uv;
out vec4 fragColor;
void main() {
    fragColor = vec4(uv, 0.0, 1.0);
}
)";

inline constexpr char kFragmentOnlyA[] = R"(#version 410 core
in vec2 uv;
uniform float onlyInA;
out vec4 fragColor;
void main() {
    fragColor = vec4(uv, onlyInA, 1.0);
}
)";

inline constexpr char kFragmentOnlyB[] = R"(#version 410 core
in vec2 uv;
uniform vec2 padding;
uniform float onlyInB;
out vec4 fragColor;
void main() {
    fragColor = vec4(uv + padding, onlyInB, 1.0);
}
)";

inline constexpr char kFragmentUniforms[] = R"(#version 410 core
in vec2 uv;
uniform mat2 shear;
uniform mat3 warp;
uniform mat4 colorMatrix;
uniform float gain;
uniform vec2 offset;
uniform vec3 tint;
uniform vec4 bias;
uniform int mode;
out vec4 fragColor;
void main() {
    vec3 warped = warp * vec3(shear * uv, 1.0);
    fragColor = colorMatrix * vec4(warped, 1.0) * gain + vec4(offset, 0.0, 0.0) +
                vec4(tint, 0.0) + bias + vec4(float(mode));
}
)";

// Does not compile: uses an undeclared identifier.
inline constexpr char kVertexBroken[] = R"(#version 410 core
in vec4 position;
void main() {
    gl_Position = position * undeclaredScale;
}
)";

inline constexpr char kGeometryBroken[] = R"(#version 410 core
layout(triangles) in;
layout(triangle_strip, max_vertices = 3) out;
void main() {
    EmitVertex(undeclaredVertex);
}
)";

inline constexpr char kFragmentBroken[] = R"(#version 410 core
out vec4 fragColor;
void main() {
    fragColor = undeclaredColor;
}
)";

// Compiles, but cannot link: shade() is declared and called, never defined.
inline constexpr char kFragmentUnresolved[] = R"(#version 410 core
in vec2 uv;
out vec4 fragColor;
vec4 shade(vec2 at);
void main() {
    fragColor = shade(uv);
}
)";

}  // namespace test
