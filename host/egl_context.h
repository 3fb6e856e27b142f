// A headless OpenGL context for the host: EGL, no X server, no window, no surface.
//
// The host renders only into textures through framebuffer objects, so the context is made
// current with EGL_NO_SURFACE. Devices come from EGL_EXT_platform_device; the surfaceless
// platform (EGL_MESA_platform_surfaceless) is the fallback when devices cannot be listed.
//
// The EGL display (one per device, shared by every context on it) stays initialised for the
// rest of the process once used, so the driver is loaded once rather than per context.
//
// Thread-safety: an EglContext is current on at most one thread; call makeCurrent() on the
// thread that makes GL calls.
#pragma once

#include <string>
#include <string_view>

namespace kestrel {

enum class GlBackend { Automatic, Software, Hardware };

// Accepts "auto", "software" and "hardware"; anything else throws std::invalid_argument.
GlBackend parseGlBackend(std::string_view word);

// The backend named by RUVOVAV_GL; Automatic when the variable is unset or empty.
// Throws std::invalid_argument for a word parseGlBackend does not accept.
GlBackend glBackendFromEnvironment();

const char* glBackendName(GlBackend backend);

// Owns an OpenGL 4.1 core profile context (or a later version compatible with it).
// The constructor leaves the new context current on the calling thread and loads the GL
// entry points through GLEW. Failure throws std::runtime_error naming what is missing.
class EglContext {
public:
    // Automatic defers to RUVOVAV_GL, then prefers a hardware device over a software one.
    explicit EglContext(GlBackend backend = GlBackend::Automatic);
    ~EglContext();

    EglContext(EglContext&& other) noexcept;
    EglContext& operator=(EglContext&& other) noexcept;
    EglContext(const EglContext&) = delete;
    EglContext& operator=(const EglContext&) = delete;

    // Throws std::runtime_error when EGL refuses.
    void makeCurrent() const;
    bool isCurrent() const;

    // glGetString values; the context must be current.
    std::string renderer() const;
    std::string vendor() const;
    std::string version() const;

    // True for a rasteriser running on the CPU (llvmpipe and the like).
    bool isSoftware() const { return software_; }
    // Which display the context came from, e.g. "EGL device 0" or "surfaceless platform".
    const std::string& origin() const { return origin_; }

private:
    void destroy() noexcept;

    void* display_ = nullptr;  // EGLDisplay; kept as void* so GL headers stay out of here
    void* context_ = nullptr;  // EGLContext
    bool software_ = false;
    std::string origin_;
};

}  // namespace kestrel
