// The image, frame, progress and vertex-storage operations of the host's table. Without a
// GL context every image request is the module's mistake: counted, answered with 0. An
// exception inside an operation (a frame that fails to decode, memory that runs out) is
// caught there and answered like a refusal.
#include "host/callback_guard.h"
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
        Host& h = host(handle);
        return CallbackGuard::run(h, uint32_t(0), [&]() -> uint32_t {
            ++h.imageRequests_;
            if (h.throwAtImage_ > 0 && h.imageRequests_ == h.throwAtImage_ && h.imageThrower_)
                h.imageThrower_();
            HostGl* g = gl(h);
            if (g == nullptr) return 0;
            return g->lentImages().create(width, height, internalFormat, format, type, flag,
                                          textureWidth, textureHeight);
        });
    }
    static int32_t getSourceFrame(HostHandle handle, const RenderContext*, int32_t frameIndex,
                                  HostImage* out) {
        Host& h = host(handle);
        const int32_t result = CallbackGuard::run(h, int32_t(ClipFrames::kSourceFailed), [&] {
            HostGl* g = gl(h);
            if (g == nullptr) return int32_t(1);
            return int32_t(g->clip().fetch(g->lentImages(), frameIndex, out));
        });
        // Whatever the decoder threw, nothing was lent.
        if (result == ClipFrames::kSourceFailed && out != nullptr) *out = HostImage{};
        return result;
    }
    static void releaseImage(HostHandle handle, const RenderContext*, uint32_t texture) {
        Host& h = host(handle);
        CallbackGuard::run(h, [&] {
            if (HostGl* g = gl(h)) g->lentImages().release(texture);
        });
    }
    static int32_t reportProgress(HostHandle handle, int32_t done, int32_t total) {
        Host& h = host(handle);
        return CallbackGuard::run(h, int32_t(1), [&] {
            h.progress_.emplace_back(done, total);
            return h.stopAtReport_ > 0 && int(h.progress_.size()) >= h.stopAtReport_ ? 1 : 0;
        });
    }
    static uint32_t createVertexArray(HostHandle handle) {
        Host& h = host(handle);
        return CallbackGuard::run(h, uint32_t(0), [&] {
            HostGl* g = gl(h);
            return g != nullptr ? g->objects().createVertexArray() : 0u;
        });
    }
    static uint32_t createBuffer(HostHandle handle, uint32_t target, int64_t size, const void* data,
                                 uint32_t usage, void** mapped, int32_t reserved) {
        Host& h = host(handle);
        return CallbackGuard::run(h, uint32_t(0), [&]() -> uint32_t {
            HostGl* g = gl(h);
            if (g == nullptr) return 0;
            return g->objects().createBuffer(target, size, data, usage, mapped, reserved);
        });
    }
    static void deleteBuffer(HostHandle handle, uint32_t buffer) {
        Host& h = host(handle);
        CallbackGuard::run(h, [&] {
            if (HostGl* g = gl(h)) g->objects().deleteBuffer(buffer);
        });
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
