// GLSL 4.10 sources shared by the GL framework tests; every declared input is used, so the
// linker keeps it active and its location can be queried.
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

inline constexpr char kFragmentPlain[] = R"(#version 410 core
in vec2 uv;
out vec4 fragColor;
void main() {
    fragColor = vec4(uv, 0.0, 1.0);
}
)";

// Does not compile: uses an undeclared identifier.
inline constexpr char kVertexBroken[] = R"(#version 410 core
in vec4 position;
void main() {
    gl_Position = position * undeclaredScale;
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
