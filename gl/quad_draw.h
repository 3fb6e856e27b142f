// The quad every pass draws, and the per-draw vertex storage the host provides.
//
// Each draw uploads its four vertices into a fresh host buffer inside a host vertex array,
// draws a triangle strip and gives the buffer back, so no vertex state outlives a draw.
#pragma once

#include <GL/glew.h>

#include <array>
#include <memory>

#include "gl/host_call.h"
#include "plugin/host_api.h"

namespace Plugin {

// Four vertices of (x, y, u, v), in triangle-strip order: lower left, lower right, upper
// left, upper right.
using Quad = std::array<float, 16>;
inline constexpr GLsizei kQuadVertices = 4;

// The (0, 0)..(width, height) rectangle textured with the image's extents.
Quad fillQuad(const HostImage& image, int width, int height);
// The same over the render context's size, textured with the host's source image.
Quad fillQuad(const HostCall& call);
// Replaces the texture coordinates with the image's extents; positions stay.
void setQuadExtents(Quad& quad, const HostImage& image);

namespace gl {

// Shared owner of one host buffer: unbinds it and, unless `keep`, deletes it through the
// host when the last owner goes.
class VertexBufferObjectRAII {
public:
    VertexBufferObjectRAII(const HostCall& call, GLuint buffer, GLenum target, bool keep)
        : call_(call), buffer_(buffer), target_(target), keep_(keep) {}
    ~VertexBufferObjectRAII();
    VertexBufferObjectRAII(const VertexBufferObjectRAII&) = delete;
    VertexBufferObjectRAII& operator=(const VertexBufferObjectRAII&) = delete;

    GLuint buffer() const { return buffer_; }

private:
    HostCall call_;
    GLuint buffer_;
    GLenum target_;
    bool keep_;
};

// One draw's vertex array (bound while it lives) and buffer filled with `bytes` of data.
// GL: binds a vertex array and GL_ARRAY_BUFFER; leaves both unbound at the end.
class VertexArrayScope {
public:
    VertexArrayScope(const HostCall& call, const void* data, GLsizeiptr bytes);
    ~VertexArrayScope();
    VertexArrayScope(const VertexArrayScope&) = delete;
    VertexArrayScope& operator=(const VertexArrayScope&) = delete;

private:
    GLuint vertexArray_ = 0;
    std::shared_ptr<VertexBufferObjectRAII> buffer_;
};

}  // namespace gl

// Draws `count` vertices of (x, y, u, v) from the bound array buffer: position on
// attribute 0, texture coordinate on attribute 8. Both are disabled again afterwards.
void drawQuadArrays(GLsizei count, GLenum mode);
// Uploads the vertices in their own scope and draws them.
void drawVertices(const HostCall& call, const float* vertices, GLsizei count, GLenum mode);
inline void drawQuad(const HostCall& call, const Quad& quad) {
    drawVertices(call, quad.data(), kQuadVertices, GL_TRIANGLE_STRIP);
}

}  // namespace Plugin
