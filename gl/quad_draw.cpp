#include "gl/quad_draw.h"

#include <cstdint>

#include "gl/attribute_names.h"
#include "gl/pass_profile.h"

namespace Plugin {
namespace {

constexpr GLsizei kVertexStride = 4 * sizeof(float);
constexpr uintptr_t kTexCoordOffset = 2 * sizeof(float);

}  // namespace

Quad fillQuad(const HostImage& image, int width, int height) {
    const float w = float(width);
    const float h = float(height);
    return {0.0f, 0.0f, image.uMin, image.vMin,  //
            w,    0.0f, image.uMax, image.vMin,  //
            0.0f, h,    image.uMin, image.vMax,  //
            w,    h,    image.uMax, image.vMax};
}

Quad fillQuad(const HostCall& call) {
    const RenderContext& rc = *call.renderContext();
    return fillQuad(*rc.source, rc.width, rc.height);
}

void setQuadExtents(Quad& quad, const HostImage& image) {
    const float u[4] = {image.uMin, image.uMax, image.uMin, image.uMax};
    const float v[4] = {image.vMin, image.vMin, image.vMax, image.vMax};
    for (int i = 0; i < 4; ++i) {
        quad[size_t(4 * i + 2)] = u[i];
        quad[size_t(4 * i + 3)] = v[i];
    }
}

namespace gl {

VertexBufferObjectRAII::~VertexBufferObjectRAII() {
    glBindBuffer(target_, 0);
    if (!keep_) call_.api->DeleteBuffer(call_.host, buffer_);
}

VertexArrayScope::VertexArrayScope(const HostCall& call, const void* data, GLsizeiptr bytes) {
    vertexArray_ = call.api->CreateVertexArray(call.host);
    glBindVertexArray(vertexArray_);
    // The vertices are handed over at creation, so no mapping is asked for: a buffer
    // still mapped could not be drawn from.
    const GLuint name = call.api->CreateBuffer(call.host, GL_ARRAY_BUFFER, int64_t(bytes), data,
                                               GL_DYNAMIC_DRAW, nullptr, 0);
    glBindBuffer(GL_ARRAY_BUFFER, name);
    buffer_ = std::make_shared<VertexBufferObjectRAII>(call, name, GL_ARRAY_BUFFER, false);
}

VertexArrayScope::~VertexArrayScope() {
    buffer_.reset();
    glBindVertexArray(0);
}

}  // namespace gl

void drawQuadArrays(GLsizei count, GLenum mode) {
    glEnableVertexAttribArray(gl::kPositionLocation);
    glVertexAttribPointer(gl::kPositionLocation, 2, GL_FLOAT, GL_FALSE, kVertexStride, nullptr);
    glEnableVertexAttribArray(gl::kTexCoordLocation);
    glVertexAttribPointer(gl::kTexCoordLocation, 2, GL_FLOAT, GL_FALSE, kVertexStride,
                          reinterpret_cast<const void*>(kTexCoordOffset));
    gl::PassProfile::instance().draw(mode, count);
    glDisableVertexAttribArray(gl::kPositionLocation);
    glDisableVertexAttribArray(gl::kTexCoordLocation);
}

void drawVertices(const HostCall& call, const float* vertices, GLsizei count, GLenum mode) {
    gl::VertexArrayScope scope(call, vertices, GLsizeiptr(count) * kVertexStride);
    drawQuadArrays(count, mode);
}

}  // namespace Plugin
