// Reads a shader's or a program's info log; both follow the same query protocol.
#pragma once

#include <GL/glew.h>

#include <string>

namespace Plugin::gl {

// Pass glGetShaderiv/glGetShaderInfoLog or glGetProgramiv/glGetProgramInfoLog (their
// signatures are identical). Returns the text up to its terminating zero, or "" when
// the driver reports none.
std::string readInfoLog(GLuint object, PFNGLGETSHADERIVPROC getParameter,
                        PFNGLGETSHADERINFOLOGPROC getLog);

}  // namespace Plugin::gl
