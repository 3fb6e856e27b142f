#include "gl/fx_shader.h"

#include <cstdint>

#include "gl/fx_glsl_exception.h"
#include "gl/info_log.h"

namespace Plugin::gl {

void compileShader(FXShader& shader, ShaderLog& log) {
    glCompileShader(shader.id);
    GLint status = GL_FALSE;
    glGetShaderiv(shader.id, GL_COMPILE_STATUS, &status);
    shader.compiled = static_cast<uint8_t>(status) != 0;
    if (shader.infoLog.empty() && shader.id != 0) {
        shader.infoLog = readInfoLog(shader.id, glGetShaderiv, glGetShaderInfoLog);
    }
    log.append(shader.infoLog);
    if (!shader.compiled) {
        throw FXGLSLexception::compileFailure();
    }
}

std::shared_ptr<FXShader> createShader(GLenum type, const std::string& source, ShaderLog& log) {
    auto shader = std::make_shared<FXShader>(glCreateShader(type), type);
    // An explicit length: sources may come from buffers without a terminating zero.
    const GLchar* text = source.data();
    const GLint length = static_cast<GLint>(source.size());
    glShaderSource(shader->id, 1, &text, &length);
    if (shader->id != 0) {
        compileShader(*shader, log);
    }
    return shader;
}

}  // namespace Plugin::gl
