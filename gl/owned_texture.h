// A texture the plug-in makes for its own use, never one of the host's images: deleted with
// its owner, so a throw between making and deleting it leaks nothing.
#pragma once

#include <GL/glew.h>

namespace Plugin {

class OwnedTexture {
public:
    OwnedTexture() { glGenTextures(1, &id_); }
    ~OwnedTexture() { glDeleteTextures(1, &id_); }
    OwnedTexture(const OwnedTexture&) = delete;
    OwnedTexture& operator=(const OwnedTexture&) = delete;

    GLuint id() const { return id_; }

private:
    GLuint id_ = 0;
};

}  // namespace Plugin
