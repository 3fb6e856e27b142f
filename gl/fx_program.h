// One registered GL program, owned by EffectData. The GL object goes with it: its stages
// are detached and the program deleted when the record is destroyed, so a program that
// failed to build, or a registry torn down by an exception, leaves nothing behind.
#pragma once

#include <GL/glew.h>

#include <string>

namespace Plugin {

struct FXProgram {
    FXProgram() = default;
    explicit FXProgram(GLuint programId) noexcept : id(programId) {}
    ~FXProgram();
    FXProgram(const FXProgram&) = delete;
    FXProgram& operator=(const FXProgram&) = delete;

    GLuint id = 0;
    bool linked = false;  // outcome of the last link
    std::string infoLog;  // first non-empty link log; kept across relinks
};

}  // namespace Plugin
