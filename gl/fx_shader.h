// One shader stage while a program is being assembled.
//
// Shared ownership lets a stage outlive the function that compiled it until it is
// attached; the last owner deletes the GL object, which GL keeps alive while attached.
#pragma once

#include <GL/glew.h>

#include <memory>
#include <string>

#include "gl/shader_log.h"

namespace Plugin::gl {

struct FXShader {
    FXShader(GLuint shaderId, GLenum shaderType) noexcept : id(shaderId), type(shaderType) {}
    ~FXShader() { glDeleteShader(id); }

    FXShader(const FXShader&) = delete;
    FXShader& operator=(const FXShader&) = delete;

    GLuint id;
    GLenum type;  // GL_VERTEX_SHADER, GL_FRAGMENT_SHADER or GL_GEOMETRY_SHADER
    bool compiled = false;
    std::string infoLog;
};

// Compiles the stage and adds its info log to `log`; throws FXGLSLexception (compile)
// when the driver rejects it.
void compileShader(FXShader& shader, ShaderLog& log);

// Creates a stage of `type` from `source` and compiles it when GL gave it a name.
std::shared_ptr<FXShader> createShader(GLenum type, const std::string& source, ShaderLog& log);

}  // namespace Plugin::gl
