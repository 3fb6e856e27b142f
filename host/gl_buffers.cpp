#include "host/gl_buffers.h"

#include <GL/glew.h>

#include <stdexcept>
#include <utility>

#include "host/gl_state.h"

namespace kestrel {
namespace {

bool validTarget(uint32_t target) {
    switch (target) {
        case GL_ARRAY_BUFFER:
        case GL_ELEMENT_ARRAY_BUFFER:
        case GL_UNIFORM_BUFFER:
        case GL_COPY_READ_BUFFER:
        case GL_COPY_WRITE_BUFFER:
        case GL_PIXEL_PACK_BUFFER:
        case GL_PIXEL_UNPACK_BUFFER:
        case GL_TEXTURE_BUFFER:
        case GL_TRANSFORM_FEEDBACK_BUFFER:
        case GL_DRAW_INDIRECT_BUFFER:
            return true;
        default:
            return false;
    }
}

bool validUsage(uint32_t usage) {
    switch (usage) {
        case GL_STREAM_DRAW:
        case GL_STREAM_READ:
        case GL_STREAM_COPY:
        case GL_STATIC_DRAW:
        case GL_STATIC_READ:
        case GL_STATIC_COPY:
        case GL_DYNAMIC_DRAW:
        case GL_DYNAMIC_READ:
        case GL_DYNAMIC_COPY:
            return true;
        default:
            return false;
    }
}

}  // namespace

uint32_t GlObjects::createVertexArray() {
    vertexArrays_.emplace_back();
    const uint32_t name = vertexArrays_.back().name();
    // A generated name becomes a vertex array object only when first bound; the effect
    // receives a real object, and its own binding is put back.
    GLint previous = 0;
    glGetIntegerv(GL_VERTEX_ARRAY_BINDING, &previous);
    glBindVertexArray(name);
    glBindVertexArray(GLuint(previous));
    return name;
}

uint32_t GlObjects::createBuffer(uint32_t target, int64_t size, const void* data, uint32_t usage,
                                 void** mapped, int /*reserved*/) {
    if (mapped != nullptr) *mapped = nullptr;
    if (!validTarget(target) || !validUsage(usage) || size <= 0) {
        ++hostErrors_;
        return 0;
    }
    Buffer entry{GlBuffer(), mapped != nullptr};
    {
        // A buffer is not tied to the target it is first bound to, so filling it through
        // the copy-write binding leaves the effect's array, element and other bindings alone.
        ScopedBinding keep(GL_COPY_WRITE_BUFFER, GL_COPY_WRITE_BUFFER_BINDING, glBindBuffer);
        glBindBuffer(GL_COPY_WRITE_BUFFER, entry.buffer.name());
        glBufferData(GL_COPY_WRITE_BUFFER, static_cast<GLsizeiptr>(size), data, usage);
        if (mapped != nullptr) {
            // Readable too, so the effect may look at what it wrote.
            *mapped = glMapBufferRange(GL_COPY_WRITE_BUFFER, 0, static_cast<GLsizeiptr>(size),
                                       GL_MAP_READ_BIT | GL_MAP_WRITE_BIT);
        }
    }
    if (mapped != nullptr && *mapped == nullptr) {
        ++hostErrors_;
        return 0;
    }
    ++buffersCreated_;
    const uint32_t name = entry.buffer.name();
    buffers_.emplace(name, std::move(entry));
    return name;
}

void GlObjects::deleteBuffer(uint32_t buffer) {
    if (buffers_.erase(buffer) == 0) ++hostErrors_;
}

void GlObjects::deleteVertexArrays() {
    vertexArrays_.clear();
}

bool GlObjects::isBufferMapped(uint32_t buffer) const {
    auto it = buffers_.find(buffer);
    return it != buffers_.end() && it->second.mapped;
}

}  // namespace kestrel
