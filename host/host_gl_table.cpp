// The image, frame, progress and vertex-storage operations of the host's table. Without a
// GL context every image request is the module's mistake: counted, answered with 0.
#include "host/host.h"

namespace kestrel {

struct HostGlTable {
    static Host& host(HostHandle handle) { return Host::calledThrough(handle); }
    static HostGl* gl(Host& h) {
        if (!h.gl_) ++h.ownErrors_;
        return h.gl_.get();
    }

    static uint32_t createImage(HostHandle handle, const RenderContext*, int32_t width,
                                int32_t height, uint32_t internalFormat, uint32_t format,
                                uint32_t type, int32_t, int32_t, int32_t* textureWidth,
                                int32_t* textureHeight, int32_t flag) {
        HostGl* g = gl(host(handle));
        if (g == nullptr) return 0;
        return g->lentImages().create(width, height, internalFormat, format, type, flag,
                                      textureWidth, textureHeight);
    }
    static int32_t getSourceFrame(HostHandle handle, const RenderContext*, int32_t frameIndex,
                                  HostImage* out) {
        HostGl* g = gl(host(handle));
        if (g == nullptr) return 1;
        return g->clip().fetch(g->lentImages(), frameIndex, out);
    }
    static void releaseImage(HostHandle handle, const RenderContext*, uint32_t texture) {
        if (HostGl* g = gl(host(handle))) g->lentImages().release(texture);
    }
    static int32_t reportProgress(HostHandle handle, int32_t done, int32_t total) {
        Host& h = host(handle);
        h.progress_.emplace_back(done, total);
        return h.stopAtReport_ > 0 && int(h.progress_.size()) >= h.stopAtReport_ ? 1 : 0;
    }
    static uint32_t createVertexArray(HostHandle handle) {
        HostGl* g = gl(host(handle));
        return g != nullptr ? g->objects().createVertexArray() : 0;
    }
    static uint32_t createBuffer(HostHandle handle, uint32_t target, int64_t size, const void* data,
                                 uint32_t usage, void** mapped, int32_t reserved) {
        HostGl* g = gl(host(handle));
        if (g == nullptr) return 0;
        return g->objects().createBuffer(target, size, data, usage, mapped, reserved);
    }
    static void deleteBuffer(HostHandle handle, uint32_t buffer) {
        if (HostGl* g = gl(host(handle))) g->objects().deleteBuffer(buffer);
    }
};

void Host::fillGlTable() {
    api_.CreateImage = &HostGlTable::createImage;
    api_.GetSourceFrame = &HostGlTable::getSourceFrame;
    api_.ReleaseImage = &HostGlTable::releaseImage;
    api_.ReportProgress = &HostGlTable::reportProgress;
    api_.CreateVertexArray = &HostGlTable::createVertexArray;
    api_.CreateBuffer = &HostGlTable::createBuffer;
    api_.DeleteBuffer = &HostGlTable::deleteBuffer;
}

}  // namespace kestrel
