// One registered GL program, owned by EffectData.
#pragma once

#include <GL/glew.h>

#include <string>

namespace Plugin {

struct FXProgram {
    GLuint id = 0;
    bool linked = false;  // outcome of the last link
    std::string infoLog;  // first non-empty link log; kept across relinks
};

}  // namespace Plugin
