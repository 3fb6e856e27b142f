// A move-only owner of one GL object name, for the kinds the host makes itself.
//
// Each kind supplies its generate and delete calls; the owner deletes its name when it goes.
// The context that made the name must be current when the owner is destroyed.
#pragma once

#include <GL/glew.h>

#include <stdexcept>
#include <string>
#include <utility>

namespace kestrel {

template <typename Kind>
class GlName {
public:
    GlName() {
        GLuint name = 0;
        Kind::generate(&name);
        if (name == 0) throw std::runtime_error(std::string("GL gave no ") + Kind::kWhat);
        name_ = name;
    }
    ~GlName() { reset(); }
    GlName(GlName&& other) noexcept : name_(std::exchange(other.name_, 0)) {}
    GlName& operator=(GlName&& other) noexcept {
        if (this != &other) {
            reset();
            name_ = std::exchange(other.name_, 0);
        }
        return *this;
    }
    GlName(const GlName&) = delete;
    GlName& operator=(const GlName&) = delete;

    uint32_t name() const { return name_; }

private:
    void reset() noexcept {
        if (name_ != 0) Kind::destroy(name_);
        name_ = 0;
    }
    GLuint name_ = 0;
};

struct TextureKind {
    static constexpr const char* kWhat = "texture";
    static void generate(GLuint* name) { glGenTextures(1, name); }
    static void destroy(GLuint name) { glDeleteTextures(1, &name); }
};

// Deleting a mapped buffer unmaps it.
struct BufferKind {
    static constexpr const char* kWhat = "buffer";
    static void generate(GLuint* name) { glGenBuffers(1, name); }
    static void destroy(GLuint name) { glDeleteBuffers(1, &name); }
};

struct VertexArrayKind {
    static constexpr const char* kWhat = "vertex array";
    static void generate(GLuint* name) { glGenVertexArrays(1, name); }
    static void destroy(GLuint name) { glDeleteVertexArrays(1, &name); }
};

using GlTexture = GlName<TextureKind>;
using GlBuffer = GlName<BufferKind>;
using GlVertexArray = GlName<VertexArrayKind>;

}  // namespace kestrel
