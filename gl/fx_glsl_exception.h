// The error raised when a GLSL shader fails to compile or a program fails to link.
//
// The message is static text so that throwing never allocates; the driver's own
// diagnostics travel separately through the operation's ShaderLog.
#pragma once

#include <cstdint>
#include <exception>

namespace Plugin::gl {

enum GLSLErrorType : int32_t {
    GLSLErrorType_ShaderCompile = 0,
    GLSLErrorType_ShaderLink = 1,
};

inline constexpr char kShaderCompileMessage[] =
    "GLSLErrorType_ShaderCompile - The Shader failed to compile.";
inline constexpr char kShaderLinkMessage[] =
    "GLSLErrorType_ShaderLink - The shader program failed to link.";

class FXGLSLexception : public std::exception {
public:
    FXGLSLexception(const char* text, int32_t errorType) noexcept
        : message(text), type(errorType) {}

    static FXGLSLexception compileFailure() noexcept {
        return {kShaderCompileMessage, GLSLErrorType_ShaderCompile};
    }
    static FXGLSLexception linkFailure() noexcept {
        return {kShaderLinkMessage, GLSLErrorType_ShaderLink};
    }

    const char* what() const noexcept override { return message; }

    const char* message;  // static text, never owned
    int32_t type;         // a GLSLErrorType
};

}  // namespace Plugin::gl
