// The registry of an effect's GL programs.
//
// Programs are registered under a name, in order; the index of a program is its
// registration order and never changes. Compile and link diagnostics are printed to
// stdout when the caller asks for them and the driver reports a warning or an error.
// Compile failures leave nothing registered; link failures leave the program registered
// but unlinked. All GL work needs the caller's context current; an empty registry can be
// created and destroyed without one.
#pragma once

#include <GL/glew.h>

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "gl/attribute_names.h"
#include "gl/fx_program.h"
#include "gl/name_index.h"

namespace Plugin {

// Results of the addLinkedProgram family.
inline constexpr int32_t kProgramLinked = 1;
inline constexpr int32_t kProgramNotLinked = 5;

class EffectData {
public:
    EffectData() = default;
    EffectData(const EffectData&) = delete;
    EffectData& operator=(const EffectData&) = delete;

    // Compiles and attaches the stages (geometry only when its source is non-empty) and
    // registers the program unlinked. Throws gl::FXGLSLexception (compile) on failure.
    virtual void addProgram(const std::string& vertexSource, const std::string& geometrySource,
                            const std::string& fragmentSource, bool printLog,
                            const std::string& name);
    virtual void addProgram(const std::string& vertexSource, const std::string& fragmentSource,
                            bool printLog, const std::string& name);

    // Links a registered program; throws gl::FXGLSLexception (link) on failure. An unknown
    // name or index links nothing and returns false.
    virtual bool linkProgram(const std::string& name, bool printLog);
    virtual bool linkProgram(int32_t index, bool printLog);

    // addProgram, then binds position to 0 and the texture coordinate(s) to 8 (and 9),
    // then links. Names are ours (gl/attribute_names.h) or the conventional in_* ones.
    virtual int32_t addLinkedProgram(const std::string& vertexSource,
                                     const std::string& geometrySource,
                                     const std::string& fragmentSource, bool printLog,
                                     const std::string& name, bool useShaderAttributeNames);
    virtual int32_t addLinkedProgram(const std::string& vertexSource,
                                     const std::string& fragmentSource, bool printLog,
                                     const std::string& name, bool useShaderAttributeNames);
    virtual int32_t addLinkedProgramTwoTexCoords(const std::string& vertexSource,
                                                 const std::string& fragmentSource, bool printLog,
                                                 const std::string& name,
                                                 bool useShaderAttributeNames);

    // Detaches the shaders and deletes every program, newest first.
    virtual ~EffectData();

    // GL name of the program registered under `name`, or -1.
    int32_t programId(const std::string& name) const;
    void bindProgram(const std::string& name) const;
    void releaseProgram() const;
    // Index of the registered program current in GL, or -1.
    int32_t currentProgramIndex() const;
    // Asks the current registered program, or the first one when none is current;
    // -1 when nothing is registered.
    int32_t uniformLocation(const std::string& name) const;
    // Takes effect at the program's next link; nothing happens for an unknown name.
    void bindAttribute(const std::string& programName, GLuint location,
                       const std::string& attributeName) const;

    void setUniform1i(GLint location, int value) const;
    void setUniform1f(GLint location, float value) const;
    void setUniform2f(GLint location, float x, float y) const;
    void setUniform3f(GLint location, float x, float y, float z) const;
    void setUniform4f(GLint location, float x, float y, float z, float w) const;
    // dimension 2, 3 or 4 selects mat2, mat3 or mat4; any other sets nothing.
    void setUniformMatrix(GLint location, int dimension, int arrayCount, bool transpose,
                          const float* data) const;

    std::vector<std::unique_ptr<FXProgram>> programs;  // element i registered i-th
    int32_t count = 0;
    gl::NameIndex nameIndex;  // sorted by name, byte-wise

private:
    void createProgram(const std::string& vertexSource, const std::string& geometrySource,
                       const std::string& fragmentSource, bool printLog, const std::string& name);
    void registerProgram(std::unique_ptr<FXProgram> program, const std::string& name);
    void bindNewestAttributes(std::initializer_list<gl::AttributeRole> roles,
                              bool useShaderAttributeNames) const;
};

}  // namespace Plugin
