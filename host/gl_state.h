// The slice of OpenGL state the host relies on around a call into an effect, and the
// framebuffer the host draws into.
//
// An effect may change any GL state while it renders, but it must hand back the bindings
// below as it found them; tests capture them before a call and diff them after, so a
// failure names exactly what was left wrong. All functions need a current context.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace kestrel {

struct HostGlState {
    uint32_t drawFramebuffer = 0;
    uint32_t colorAttachment0 = 0;  // texture at GL_COLOR_ATTACHMENT0 of it; 0 when none
    uint32_t activeTexture = 0;     // a GL_TEXTUREi enum
    uint32_t textureUnit0 = 0;      // GL_TEXTURE_2D binding of unit 0
    uint32_t program = 0;
    std::array<int32_t, 4> viewport{};
    bool blend = false;
    std::array<bool, 4> colorWriteMask{};
    bool scissorTest = false;

    bool operator==(const HostGlState&) const = default;
};

HostGlState captureHostGlState();

// One line per field that differs, e.g. "program: expected 0, got 7"; empty when equal.
std::vector<std::string> diffHostGlState(const HostGlState& expected, const HostGlState& actual);

// Owns one framebuffer object. Destruction deletes it, which unbinds it where it is bound.
class Framebuffer {
public:
    Framebuffer();
    ~Framebuffer();
    Framebuffer(Framebuffer&& other) noexcept;
    Framebuffer& operator=(Framebuffer&& other) noexcept;
    Framebuffer(const Framebuffer&) = delete;
    Framebuffer& operator=(const Framebuffer&) = delete;

    uint32_t name() const { return name_; }

    // Binds it to GL_FRAMEBUFFER (draw and read) with `texture` at colour attachment 0, as
    // the host does with an effect's destination image. Throws std::runtime_error when the
    // result is not complete.
    void attach(uint32_t texture, int level = 0);
    // The same on GL_READ_FRAMEBUFFER only, leaving the draw binding alone.
    void attachForReading(uint32_t texture, int level = 0);

private:
    void attachTo(uint32_t target, uint32_t texture, int level);

    uint32_t name_ = 0;
};

// Puts one binding back as it was when the scope ends, so host work done in the middle of
// an effect's rendering (creating images, reading pixels) leaves the effect's state alone.
// `bind` is glBindTexture, glBindFramebuffer, glBindBuffer or the like.
class ScopedBinding {
public:
    using BindFunction = void (*)(uint32_t target, uint32_t name);
    ScopedBinding(uint32_t target, uint32_t bindingQuery, BindFunction bind);
    ~ScopedBinding() { bind_(target_, previous_); }
    ScopedBinding(const ScopedBinding&) = delete;
    ScopedBinding& operator=(const ScopedBinding&) = delete;

private:
    uint32_t target_;
    BindFunction bind_;
    uint32_t previous_ = 0;
};

}  // namespace kestrel
