#include "gl/render_target.h"

#include <algorithm>
#include <cmath>

namespace Plugin {
namespace {

void setClampToEdge() {
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
}

void setFilter(GLint filter) {
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, filter);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, filter);
}

}  // namespace

void attachRenderTarget(const HostImage& image, int level) {
    glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, image.texture,
                           level);
    glViewport(0, 0, image.width >> level, image.height >> level);
}

int activeExtent(int size, float scale) {
    // Centre x + 0.5 <= scale * size; scale * size is exact for the powers of two passes use.
    const int extent = int(std::floor(double(scale) * double(size) + 0.5));
    return std::clamp(extent, 0, size);
}

ScissorGuard::ScissorGuard(int x, int y, int width, int height) {
    glScissor(x, y, width, height);
    glEnable(GL_SCISSOR_TEST);
}

void detachRenderTarget(GLenum attachment) {
    glFramebufferTexture2D(GL_FRAMEBUFFER, attachment, GL_TEXTURE_2D, 0, 0);
}

void bindTextureUnit(GLenum unit, GLuint texture, bool linear) {
    glActiveTexture(unit);
    glBindTexture(GL_TEXTURE_2D, texture);
    setClampToEdge();
    if (linear) setFilter(GL_LINEAR);
}

void setUnitNearest(GLenum unit, bool nearest) {
    glActiveTexture(unit);
    setClampToEdge();
    if (nearest) setFilter(GL_NEAREST);
}

void unbindTextureUnit(GLenum unit, bool nearest) {
    setUnitNearest(unit, nearest);
    glBindTexture(GL_TEXTURE_2D, 0);
}

void restoreHostBindings(const HostCall& call) {
    const HostImage* destination = call.destinationImage();
    if (destination != nullptr && destination->texture != 0) {
        attachRenderTarget(*destination, 0);
    } else {
        detachRenderTarget(GL_COLOR_ATTACHMENT0);
    }
    const HostImage* source = call.sourceImage();
    bindTextureUnit(GL_TEXTURE0, source != nullptr ? source->texture : 0, true);
    // Unit 0 empty: there is no texture whose parameters could be set.
    if (source != nullptr && source->texture != 0) setUnitNearest(GL_TEXTURE0, true);
}

}  // namespace Plugin
