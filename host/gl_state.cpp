#include "host/gl_state.h"

#include <GL/glew.h>

#include <cstdio>
#include <stdexcept>
#include <utility>

namespace kestrel {
namespace {

uint32_t integer(GLenum name) {
    GLint value = 0;
    glGetIntegerv(name, &value);
    return static_cast<uint32_t>(value);
}

uint32_t drawColorAttachment0(uint32_t framebuffer) {
    // The default framebuffer has no GL_COLOR_ATTACHMENT0 to ask about.
    if (framebuffer == 0) return 0;
    GLint type = GL_NONE;
    glGetFramebufferAttachmentParameteriv(GL_DRAW_FRAMEBUFFER, GL_COLOR_ATTACHMENT0,
                                          GL_FRAMEBUFFER_ATTACHMENT_OBJECT_TYPE, &type);
    if (type != GL_TEXTURE) return 0;
    GLint name = 0;
    glGetFramebufferAttachmentParameteriv(GL_DRAW_FRAMEBUFFER, GL_COLOR_ATTACHMENT0,
                                          GL_FRAMEBUFFER_ATTACHMENT_OBJECT_NAME, &name);
    return static_cast<uint32_t>(name);
}

uint32_t textureOnUnit0(uint32_t activeTexture) {
    glActiveTexture(GL_TEXTURE0);
    const uint32_t texture = integer(GL_TEXTURE_BINDING_2D);
    glActiveTexture(activeTexture);
    return texture;
}

// Joins text by appending every piece to one string. GCC 12 reports a false -Wrestrict
// inside `"text" + std::string&&` (it inserts at the front of the temporary), which would
// fail a -Werror build; appending never takes that path.
template <typename... Pieces>
std::string concat(const Pieces&... pieces) {
    std::string text;
    (text.append(pieces), ...);
    return text;
}

template <typename T>
void compare(std::vector<std::string>& out, const char* field, const T& expected, const T& actual,
             std::string (*show)(const T&)) {
    if (expected == actual) return;
    out.push_back(concat(field, ": expected ", show(expected), ", got ", show(actual)));
}

std::string showNumber(const uint32_t& value) {
    return std::to_string(value);
}

std::string showEnum(const uint32_t& value) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "0x%04X", value);
    return buffer;
}

std::string showBool(const bool& value) {
    return value ? "true" : "false";
}

std::string showViewport(const std::array<int32_t, 4>& v) {
    return concat("(", std::to_string(v[0]), ", ", std::to_string(v[1]), ", ", std::to_string(v[2]),
                  ", ", std::to_string(v[3]), ")");
}

std::string showMask(const std::array<bool, 4>& mask) {
    std::string text;
    for (size_t i = 0; i < mask.size(); ++i) text += mask[i] ? "RGBA"[i] : '-';
    return text;
}

}  // namespace

HostGlState captureHostGlState() {
    HostGlState state;
    state.drawFramebuffer = integer(GL_DRAW_FRAMEBUFFER_BINDING);
    state.colorAttachment0 = drawColorAttachment0(state.drawFramebuffer);
    state.activeTexture = integer(GL_ACTIVE_TEXTURE);
    state.textureUnit0 = textureOnUnit0(state.activeTexture);
    state.program = integer(GL_CURRENT_PROGRAM);
    glGetIntegerv(GL_VIEWPORT, state.viewport.data());
    state.blend = glIsEnabled(GL_BLEND) == GL_TRUE;
    GLboolean mask[4] = {GL_FALSE, GL_FALSE, GL_FALSE, GL_FALSE};
    glGetBooleanv(GL_COLOR_WRITEMASK, mask);
    for (size_t i = 0; i < 4; ++i) state.colorWriteMask[i] = mask[i] == GL_TRUE;
    state.scissorTest = glIsEnabled(GL_SCISSOR_TEST) == GL_TRUE;
    return state;
}

std::vector<std::string> diffHostGlState(const HostGlState& expected, const HostGlState& actual) {
    std::vector<std::string> out;
    compare(out, "draw framebuffer", expected.drawFramebuffer, actual.drawFramebuffer, showNumber);
    compare(out, "colour attachment 0", expected.colorAttachment0, actual.colorAttachment0,
            showNumber);
    compare(out, "active texture", expected.activeTexture, actual.activeTexture, showEnum);
    compare(out, "texture on unit 0", expected.textureUnit0, actual.textureUnit0, showNumber);
    compare(out, "program", expected.program, actual.program, showNumber);
    compare(out, "viewport", expected.viewport, actual.viewport, showViewport);
    compare(out, "blend", expected.blend, actual.blend, showBool);
    compare(out, "colour write mask", expected.colorWriteMask, actual.colorWriteMask, showMask);
    compare(out, "scissor test", expected.scissorTest, actual.scissorTest, showBool);
    return out;
}

Framebuffer::Framebuffer() {
    GLuint name = 0;
    glGenFramebuffers(1, &name);
    if (name == 0) throw std::runtime_error("glGenFramebuffers gave no framebuffer");
    name_ = name;
}

Framebuffer::~Framebuffer() {
    if (name_ != 0) glDeleteFramebuffers(1, &name_);
}

Framebuffer::Framebuffer(Framebuffer&& other) noexcept : name_(std::exchange(other.name_, 0)) {}

Framebuffer& Framebuffer::operator=(Framebuffer&& other) noexcept {
    if (this != &other) {
        if (name_ != 0) glDeleteFramebuffers(1, &name_);
        name_ = std::exchange(other.name_, 0);
    }
    return *this;
}

void Framebuffer::attach(uint32_t texture, int level) {
    attachTo(GL_FRAMEBUFFER, texture, level);
}

void Framebuffer::attachForReading(uint32_t texture, int level) {
    attachTo(GL_READ_FRAMEBUFFER, texture, level);
}

void Framebuffer::attachTo(uint32_t target, uint32_t texture, int level) {
    glBindFramebuffer(target, name_);
    glFramebufferTexture2D(target, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, texture, level);
    const GLenum status = glCheckFramebufferStatus(target);
    if (status != GL_FRAMEBUFFER_COMPLETE) {
        throw std::runtime_error(concat("framebuffer ", std::to_string(name_), " with texture ",
                                        std::to_string(texture), " incomplete (", showEnum(status),
                                        ")"));
    }
}

ScopedBinding::ScopedBinding(uint32_t target, uint32_t bindingQuery, BindFunction bind)
    : target_(target), bind_(bind), previous_(integer(bindingQuery)) {}

}  // namespace kestrel
