// EffectData's lookups and the thin uniform setters used while rendering.
#include "gl/effect_data.h"
#include "gl/pass_profile.h"

namespace Plugin {

int32_t EffectData::programId(const std::string& name) const {
    const int32_t index = gl::findName(nameIndex, name);
    return index < 0 ? -1 : static_cast<int32_t>(programs[static_cast<size_t>(index)]->id);
}

void EffectData::bindProgram(const std::string& name) const {
    const int32_t id = programId(name);
    if (id >= 0) {
        gl::PassProfile::instance().nameProgram(static_cast<GLuint>(id), name);
        glUseProgram(static_cast<GLuint>(id));
    }
}

void EffectData::releaseProgram() const {
    glUseProgram(0);
}

int32_t EffectData::currentProgramIndex() const {
    GLint current = 0;
    glGetIntegerv(GL_CURRENT_PROGRAM, &current);
    for (int32_t i = 0; i < count; ++i) {
        if (programs[static_cast<size_t>(i)]->id == static_cast<GLuint>(current)) {
            return i;
        }
    }
    return -1;
}

int32_t EffectData::uniformLocation(const std::string& name) const {
    if (count == 0) {
        return -1;
    }
    const int32_t current = currentProgramIndex();
    const FXProgram& program = *programs[static_cast<size_t>(current < 0 ? 0 : current)];
    return glGetUniformLocation(program.id, name.c_str());
}

void EffectData::bindAttribute(const std::string& programName, GLuint location,
                               const std::string& attributeName) const {
    const int32_t id = programId(programName);
    if (id >= 0) {
        glBindAttribLocation(static_cast<GLuint>(id), location, attributeName.c_str());
    }
}

void EffectData::setUniform1i(GLint location, int value) const {
    glUniform1i(location, value);
}

void EffectData::setUniform1f(GLint location, float value) const {
    glUniform1f(location, value);
}

void EffectData::setUniform2f(GLint location, float x, float y) const {
    glUniform2f(location, x, y);
}

void EffectData::setUniform3f(GLint location, float x, float y, float z) const {
    glUniform3f(location, x, y, z);
}

void EffectData::setUniform4f(GLint location, float x, float y, float z, float w) const {
    glUniform4f(location, x, y, z, w);
}

void EffectData::setUniformMatrix(GLint location, int dimension, int arrayCount, bool transpose,
                                  const float* data) const {
    const GLboolean rowMajor = transpose ? GL_TRUE : GL_FALSE;
    switch (dimension) {
        case 2:
            glUniformMatrix2fv(location, arrayCount, rowMajor, data);
            break;
        case 3:
            glUniformMatrix3fv(location, arrayCount, rowMajor, data);
            break;
        case 4:
            glUniformMatrix4fv(location, arrayCount, rowMajor, data);
            break;
        default:
            break;  // not a square matrix size GLSL has
    }
}

}  // namespace Plugin
