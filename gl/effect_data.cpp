#include "gl/effect_data.h"

#include "gl/attribute_names.h"
#include "gl/fx_glsl_exception.h"
#include "gl/fx_shader.h"
#include "gl/info_log.h"
#include "gl/shader_log.h"

namespace Plugin {
namespace {

// glGetAttachedShaders is asked for at most this many; a program has at most three.
constexpr GLsizei kMaxAttachedShaders = 10;

void attachStages(GLuint program, const std::string& vertexSource,
                  const std::string& geometrySource, const std::string& fragmentSource,
                  gl::ShaderLog& log) {
    // The owners live until every stage is attached; releasing them then only flags the
    // shaders for deletion, which happens with the program.
    auto vertex = gl::createShader(GL_VERTEX_SHADER, vertexSource, log);
    glAttachShader(program, vertex->id);
    auto fragment = gl::createShader(GL_FRAGMENT_SHADER, fragmentSource, log);
    glAttachShader(program, fragment->id);
    if (!geometrySource.empty()) {
        auto geometry = gl::createShader(GL_GEOMETRY_SHADER, geometrySource, log);
        glAttachShader(program, geometry->id);
    }
}

}  // namespace

FXProgram::~FXProgram() {
    if (id == 0) return;
    GLuint shaders[kMaxAttachedShaders] = {};
    GLsizei attached = 0;
    glGetAttachedShaders(id, kMaxAttachedShaders, &attached, shaders);
    for (GLsizei i = 0; i < attached; ++i) {
        glDetachShader(id, shaders[i]);
    }
    glDeleteProgram(id);
}

void EffectData::addProgram(const std::string& vertexSource, const std::string& geometrySource,
                            const std::string& fragmentSource, bool printLog,
                            const std::string& name) {
    createProgram(vertexSource, geometrySource, fragmentSource, printLog, name);
}

void EffectData::addProgram(const std::string& vertexSource, const std::string& fragmentSource,
                            bool printLog, const std::string& name) {
    createProgram(vertexSource, std::string(), fragmentSource, printLog, name);
}

void EffectData::createProgram(const std::string& vertexSource, const std::string& geometrySource,
                               const std::string& fragmentSource, bool printLog,
                               const std::string& name) {
    gl::ShaderLog log(printLog);
    auto program = std::make_unique<FXProgram>(glCreateProgram());
    attachStages(program->id, vertexSource, geometrySource, fragmentSource, log);
    registerProgram(std::move(program), name);
}

void EffectData::registerProgram(std::unique_ptr<FXProgram> program, const std::string& name) {
    programs.push_back(std::move(program));
    count = static_cast<int32_t>(programs.size());
    gl::insertName(nameIndex, name, count - 1);
}

bool EffectData::linkProgram(const std::string& name, bool printLog) {
    return linkProgram(gl::findName(nameIndex, name), printLog);
}

bool EffectData::linkProgram(int32_t index, bool printLog) {
    if (index < 0 || index >= count) {
        return false;
    }
    gl::ShaderLog log(printLog);
    FXProgram& program = *programs[static_cast<size_t>(index)];
    glLinkProgram(program.id);
    GLint status = GL_FALSE;
    glGetProgramiv(program.id, GL_LINK_STATUS, &status);
    program.linked = static_cast<uint8_t>(status) != 0;
    if (program.infoLog.empty() && program.id != 0) {
        program.infoLog = gl::readInfoLog(program.id, glGetProgramiv, glGetProgramInfoLog);
    }
    log.append(program.infoLog);
    if (!program.linked) {
        throw gl::FXGLSLexception::linkFailure();
    }
    return program.linked;
}

int32_t EffectData::addLinkedProgram(const std::string& vertexSource,
                                     const std::string& geometrySource,
                                     const std::string& fragmentSource, bool printLog,
                                     const std::string& name, bool useShaderAttributeNames) {
    addProgram(vertexSource, geometrySource, fragmentSource, printLog, name);
    bindNewestAttributes({gl::kPositionRole, gl::kTexCoordRole}, useShaderAttributeNames);
    return linkProgram(count - 1, printLog) ? kProgramLinked : kProgramNotLinked;
}

int32_t EffectData::addLinkedProgram(const std::string& vertexSource,
                                     const std::string& fragmentSource, bool printLog,
                                     const std::string& name, bool useShaderAttributeNames) {
    return addLinkedProgram(vertexSource, std::string(), fragmentSource, printLog, name,
                            useShaderAttributeNames);
}

int32_t EffectData::addLinkedProgramTwoTexCoords(const std::string& vertexSource,
                                                 const std::string& fragmentSource, bool printLog,
                                                 const std::string& name,
                                                 bool useShaderAttributeNames) {
    addProgram(vertexSource, fragmentSource, printLog, name);
    bindNewestAttributes({gl::kPositionRole, gl::kTexCoord0Role, gl::kTexCoord1Role},
                         useShaderAttributeNames);
    return linkProgram(count - 1, printLog) ? kProgramLinked : kProgramNotLinked;
}

void EffectData::bindNewestAttributes(std::initializer_list<gl::AttributeRole> roles,
                                      bool useShaderAttributeNames) const {
    for (const gl::AttributeRole& role : roles) {
        glBindAttribLocation(programs.back()->id, role.location,
                             role.name(useShaderAttributeNames));
    }
}

EffectData::~EffectData() {
    gl::NameIndex().swap(nameIndex);
    // Newest first, so a program never outlives one registered after it.
    while (!programs.empty()) programs.pop_back();
    count = 0;
}

}  // namespace Plugin
