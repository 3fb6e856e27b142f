#include "host/egl_context.h"

#include <GL/glew.h>
// GLEW must come first; EGL only declares its own types.
#include <EGL/egl.h>
#include <EGL/eglext.h>

#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <utility>
#include <vector>

namespace kestrel {
namespace {

constexpr int kMaxDevices = 16;

std::string eglErrorText() {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "0x%04X", static_cast<unsigned>(eglGetError()));
    return buffer;
}

bool hasExtension(const char* list, std::string_view name) {
    if (list == nullptr) return false;
    std::string_view rest(list);
    while (!rest.empty()) {
        const size_t end = rest.find(' ');
        if (rest.substr(0, end) == name) return true;
        if (end == std::string_view::npos) break;
        rest.remove_prefix(end + 1);
    }
    return false;
}

// EGL displays are process-wide singletons, one per device, shared by every context on it.
// Once used they stay initialised: eglTerminate unloads the driver, so each new context
// would reload it, and Mesa's gallium driver loses its one-time setup on every unload.
bool initializeDisplay(EGLDisplay display) {
    return eglInitialize(display, nullptr, nullptr) != EGL_FALSE;
}

struct Candidate {
    EGLDisplay display = EGL_NO_DISPLAY;
    bool software = false;
    bool softwareKnown = false;  // the surfaceless platform does not say; the renderer tells
    std::string origin;
};

std::vector<Candidate> deviceCandidates(const char* clientExtensions) {
    std::vector<Candidate> found;
    if (!hasExtension(clientExtensions, "EGL_EXT_platform_device")) return found;
    auto queryDevices =
        reinterpret_cast<PFNEGLQUERYDEVICESEXTPROC>(eglGetProcAddress("eglQueryDevicesEXT"));
    auto queryString = reinterpret_cast<PFNEGLQUERYDEVICESTRINGEXTPROC>(
        eglGetProcAddress("eglQueryDeviceStringEXT"));
    EGLDeviceEXT devices[kMaxDevices];
    EGLint count = 0;
    if (queryDevices == nullptr || queryString == nullptr ||
        queryDevices(kMaxDevices, devices, &count) == EGL_FALSE) {
        return found;
    }
    for (EGLint i = 0; i < count; ++i) {
        EGLDisplay display = eglGetPlatformDisplay(EGL_PLATFORM_DEVICE_EXT, devices[i], nullptr);
        if (display == EGL_NO_DISPLAY) continue;
        const char* extensions = queryString(devices[i], EGL_EXTENSIONS);
        const bool software = hasExtension(extensions, "EGL_MESA_device_software");
        found.push_back({display, software, true, "EGL device " + std::to_string(i)});
    }
    return found;
}

std::vector<Candidate> candidatesFor(GlBackend backend) {
    const char* clientExtensions = eglQueryString(EGL_NO_DISPLAY, EGL_EXTENSIONS);
    std::vector<Candidate> devices = deviceCandidates(clientExtensions);
    std::vector<Candidate> ordered;
    for (bool wantSoftware : {false, true}) {
        for (const Candidate& c : devices) {
            const bool allowed =
                backend == GlBackend::Automatic || (backend == GlBackend::Software) == wantSoftware;
            if (c.software == wantSoftware && allowed) ordered.push_back(c);
        }
    }
    if (backend != GlBackend::Hardware &&
        hasExtension(clientExtensions, "EGL_MESA_platform_surfaceless")) {
        EGLDisplay display =
            eglGetPlatformDisplay(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
        if (display != EGL_NO_DISPLAY)
            ordered.push_back({display, false, false, "surfaceless platform"});
    }
    return ordered;
}

std::string noDisplayMessage(GlBackend backend) {
    if (backend == GlBackend::Hardware) {
        return "no hardware EGL device: EGL_EXT_platform_device is unavailable or lists only "
               "software devices";
    }
    return "no EGL display: EGL_EXT_platform_device and EGL_MESA_platform_surfaceless both "
           "unavailable";
}

const EGLint kConfigAttributes[] = {EGL_RENDERABLE_TYPE, EGL_OPENGL_BIT,
                                    // no surfaces are ever made, so any surface type will do
                                    EGL_SURFACE_TYPE, 0, EGL_NONE};
const EGLint kContextAttributes[] = {EGL_CONTEXT_MAJOR_VERSION,
                                     4,
                                     EGL_CONTEXT_MINOR_VERSION,
                                     1,
                                     EGL_CONTEXT_OPENGL_PROFILE_MASK,
                                     EGL_CONTEXT_OPENGL_CORE_PROFILE_BIT,
                                     EGL_NONE};

// Makes a current context on an initialised display, or says what stood in the way.
EGLContext createCurrentContext(EGLDisplay display, std::string& why) {
    if (!hasExtension(eglQueryString(display, EGL_EXTENSIONS), "EGL_KHR_surfaceless_context")) {
        why = "EGL_KHR_surfaceless_context missing";
        return EGL_NO_CONTEXT;
    }
    if (eglBindAPI(EGL_OPENGL_API) == EGL_FALSE) {
        why = "eglBindAPI(EGL_OPENGL_API) failed (" + eglErrorText() + ")";
        return EGL_NO_CONTEXT;
    }
    EGLConfig config = nullptr;
    EGLint configs = 0;
    if (eglChooseConfig(display, kConfigAttributes, &config, 1, &configs) == EGL_FALSE ||
        configs == 0) {
        why = "no EGL config with EGL_OPENGL_BIT";
        return EGL_NO_CONTEXT;
    }
    EGLContext context = eglCreateContext(display, config, EGL_NO_CONTEXT, kContextAttributes);
    if (context == EGL_NO_CONTEXT) {
        why = "eglCreateContext failed for OpenGL 4.1 core (" + eglErrorText() + ")";
        return EGL_NO_CONTEXT;
    }
    if (eglMakeCurrent(display, EGL_NO_SURFACE, EGL_NO_SURFACE, context) == EGL_FALSE) {
        why = "eglMakeCurrent with EGL_NO_SURFACE failed (" + eglErrorText() + ")";
        eglDestroyContext(display, context);
        return EGL_NO_CONTEXT;
    }
    return context;
}

void loadGlEntryPoints() {
    // GLEW built for GLX may report an error on a headless context after it has loaded
    // every core entry point; the entry points are all the host needs.
    glewExperimental = GL_TRUE;
    (void)glewInit();
    if (glGenFramebuffers == nullptr || glGenVertexArrays == nullptr) {
        throw std::runtime_error("GLEW loaded no OpenGL entry points");
    }
}

bool rendererIsSoftware() {
    const auto* text = reinterpret_cast<const char*>(glGetString(GL_RENDERER));
    const std::string renderer = text == nullptr ? "" : text;
    for (const char* name : {"llvmpipe", "softpipe", "swrast", "SwiftShader"}) {
        if (renderer.find(name) != std::string::npos) return true;
    }
    return false;
}

std::string glString(GLenum name) {
    const auto* text = reinterpret_cast<const char*>(glGetString(name));
    return text == nullptr ? std::string() : std::string(text);
}

}  // namespace

GlBackend parseGlBackend(std::string_view word) {
    if (word == "auto") return GlBackend::Automatic;
    if (word == "software") return GlBackend::Software;
    if (word == "hardware") return GlBackend::Hardware;
    throw std::invalid_argument("unknown OpenGL backend '" + std::string(word) +
                                "' (expected auto, software or hardware)");
}

GlBackend glBackendFromEnvironment() {
    const char* value = std::getenv("RUVOVAV_GL");
    if (value == nullptr || *value == '\0') return GlBackend::Automatic;
    try {
        return parseGlBackend(value);
    } catch (const std::invalid_argument& error) {
        throw std::invalid_argument(std::string("RUVOVAV_GL: ") + error.what());
    }
}

const char* glBackendName(GlBackend backend) {
    switch (backend) {
        case GlBackend::Automatic:
            return "auto";
        case GlBackend::Software:
            return "software";
        case GlBackend::Hardware:
            return "hardware";
    }
    return "?";
}

EglContext::EglContext(GlBackend backend) {
    if (backend == GlBackend::Automatic) backend = glBackendFromEnvironment();
    const std::vector<Candidate> candidates = candidatesFor(backend);
    if (candidates.empty()) throw std::runtime_error(noDisplayMessage(backend));
    std::string reasons;
    for (const Candidate& candidate : candidates) {
        if (!initializeDisplay(candidate.display)) {
            reasons += "; " + candidate.origin + ": eglInitialize failed (" + eglErrorText() + ")";
            continue;
        }
        std::string why;
        EGLContext context = createCurrentContext(candidate.display, why);
        if (context == EGL_NO_CONTEXT) {
            reasons += "; " + candidate.origin + ": " + why;
            continue;
        }
        display_ = candidate.display;
        context_ = context;
        origin_ = candidate.origin;
        try {
            loadGlEntryPoints();
        } catch (...) {
            destroy();  // the destructor does not run for a throwing constructor
            throw;
        }
        software_ = candidate.softwareKnown ? candidate.software : rendererIsSoftware();
        if (backend != GlBackend::Software || software_) return;
        destroy();
        reasons += "; " + candidate.origin + ": not a software renderer";
    }
    throw std::runtime_error("no usable " + std::string(glBackendName(backend)) +
                             " OpenGL 4.1 core context" + reasons);
}

EglContext::~EglContext() {
    destroy();
}

EglContext::EglContext(EglContext&& other) noexcept
    : display_(std::exchange(other.display_, nullptr)),
      context_(std::exchange(other.context_, nullptr)),
      software_(other.software_),
      origin_(std::move(other.origin_)) {}

EglContext& EglContext::operator=(EglContext&& other) noexcept {
    if (this != &other) {
        destroy();
        display_ = std::exchange(other.display_, nullptr);
        context_ = std::exchange(other.context_, nullptr);
        software_ = other.software_;
        origin_ = std::move(other.origin_);
    }
    return *this;
}

void EglContext::destroy() noexcept {
    if (context_ == nullptr) return;
    if (isCurrent()) {
        eglMakeCurrent(display_, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
    }
    eglDestroyContext(display_, context_);
    // Frees EGL's per-thread state, unless another context is still current here.
    if (eglGetCurrentContext() == EGL_NO_CONTEXT) eglReleaseThread();
    context_ = nullptr;
    display_ = nullptr;
}

void EglContext::makeCurrent() const {
    if (context_ == nullptr) throw std::runtime_error("eglMakeCurrent on a moved-from context");
    if (eglBindAPI(EGL_OPENGL_API) == EGL_FALSE ||
        eglMakeCurrent(display_, EGL_NO_SURFACE, EGL_NO_SURFACE, context_) == EGL_FALSE) {
        throw std::runtime_error("eglMakeCurrent with EGL_NO_SURFACE failed (" + eglErrorText() +
                                 ")");
    }
}

bool EglContext::isCurrent() const {
    return context_ != nullptr && eglGetCurrentContext() == context_;
}

std::string EglContext::renderer() const {
    return glString(GL_RENDERER);
}
std::string EglContext::vendor() const {
    return glString(GL_VENDOR);
}
std::string EglContext::version() const {
    return glString(GL_VERSION);
}

}  // namespace kestrel
