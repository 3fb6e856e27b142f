// Vertex arrays and buffers the host makes for an effect (CreateVertexArray, CreateBuffer,
// DeleteBuffer).
//
// A buffer asked for with a `mapped` pointer stays mapped (read and write) until DeleteBuffer;
// the pointer is valid until then. Vertex arrays have no delete call in the host interface,
// so they live until deleteVertexArrays() or the destructor.
//
// Every member that touches GL needs the owning context current, the destructor included.
#pragma once

#include "host/gl_name.h"

#include <cstdint>
#include <map>
#include <vector>

namespace kestrel {

class GlObjects {
public:
    GlObjects() = default;
    GlObjects(GlObjects&&) noexcept = default;
    GlObjects& operator=(GlObjects&&) noexcept = default;

    uint32_t createVertexArray();
    // A buffer of `size` bytes, filled from `data` when it is not null. `target` (e.g.
    // GL_ARRAY_BUFFER) and `usage` must be valid GL values; otherwise, or for size <= 0, a
    // host error is counted and 0 returned. When `mapped` is not null it receives a write
    // pointer to the whole buffer (null on failure). Bindings are left as they were.
    uint32_t createBuffer(uint32_t target, int64_t size, const void* data, uint32_t usage,
                          void** mapped, int reserved);
    // Unknown or already deleted buffers count a host error.
    void deleteBuffer(uint32_t buffer);
    void deleteVertexArrays();

    bool isBufferMapped(uint32_t buffer) const;
    int buffersOutstanding() const { return static_cast<int>(buffers_.size()); }
    int vertexArraysOutstanding() const { return static_cast<int>(vertexArrays_.size()); }
    int buffersCreated() const { return buffersCreated_; }
    int hostErrors() const { return hostErrors_; }

private:
    struct Buffer {
        GlBuffer buffer;
        bool mapped = false;
    };

    std::map<uint32_t, Buffer> buffers_;
    std::vector<GlVertexArray> vertexArrays_;
    int buffersCreated_ = 0;
    int hostErrors_ = 0;
};

}  // namespace kestrel
