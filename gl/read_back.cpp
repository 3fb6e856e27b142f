#include "gl/read_back.h"

#include <GL/glew.h>

#include "gl/owned_texture.h"
#include "gl/render_target.h"

namespace Plugin {
namespace {

// Colour attachment 0 and the viewport, put back after a read.
struct SavedTarget {
    GLint name = 0;
    GLint type = GL_NONE;
    GLint viewport[4] = {};

    SavedTarget() {
        glGetFramebufferAttachmentParameteriv(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0,
                                              GL_FRAMEBUFFER_ATTACHMENT_OBJECT_NAME, &name);
        glGetFramebufferAttachmentParameteriv(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0,
                                              GL_FRAMEBUFFER_ATTACHMENT_OBJECT_TYPE, &type);
        glGetIntegerv(GL_VIEWPORT, viewport);
    }
    void restore() const {
        if (type == GL_TEXTURE) {
            glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D,
                                   GLuint(name), 0);
        }
        glViewport(viewport[0], viewport[1], viewport[2], viewport[3]);
    }
};

// Tightly packed rows in both directions while pixels move.
void getTexImage(GLint level, GLenum format, void* pixels) {
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glGetTexImage(GL_TEXTURE_2D, level, format, GL_FLOAT, pixels);
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
}

// Copies the region out of the image through the framebuffer into a texture of its own
// size, then reads that texture whole.
void readRegion(void* pixels, GLenum format, const HostImage& image, int x, int y, int w, int h) {
    const OwnedTexture temporary;
    glBindTexture(GL_TEXTURE_2D, temporary.id());
    glTexImage2D(GL_TEXTURE_2D, 0, GLint(image.internalFormat), w, h, 0, GL_RGBA, GL_UNSIGNED_BYTE,
                 nullptr);
    glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    const SavedTarget saved;
    attachRenderTarget(image, 0);
    glCopyTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, x, y, w, h);
    bindTextureUnit(GL_TEXTURE0, temporary.id(), true);
    getTexImage(0, format, pixels);
    saved.restore();
    bindTextureUnit(GL_TEXTURE0, image.texture, true);
}

}  // namespace

void readImageRGB(TextureDataV3& buffer, const HostImage& image, int x, int y, int w, int h) {
    buffer.resize(w, h);
    readRegion(buffer.data.get(), GL_RGB, image, x, y, w, h);
}

void readImageRGBA(TextureDataV4& buffer, const HostImage& image, int x, int y, int w, int h) {
    buffer.resize(w, h);
    readRegion(buffer.data.get(), GL_RGBA, image, x, y, w, h);
}

TextureDataV3 readImage(const HostImage& image, bool read, int level) {
    TextureDataV3 buffer(image.textureWidth >> level, image.textureHeight >> level);
    if (read && level == 0) {
        readImageRGB(buffer, image, 0, 0, image.width, image.height);
        return buffer;
    }
    if (read) {
        buffer.resize(image.textureWidth >> level, image.textureHeight >> level);
        bindTextureUnit(GL_TEXTURE0, image.texture, true);
        getTexImage(level, GL_RGB, buffer.data.get());
    }
    buffer.stride = image.textureWidth >> level;
    buffer.width = image.width >> level;
    buffer.height = image.height >> level;
    return buffer;
}

TextureDataV1 readLevelRed(const HostImage& image, int level) {
    TextureDataV1 red(image.textureWidth, image.textureHeight);
    red.width = image.width >> level;
    red.height = image.height >> level;
    red.stride = image.textureWidth >> level;
    bindTextureUnit(GL_TEXTURE0, image.texture, true);
    getTexImage(level, GL_RED, red.data.get());
    return red;
}

}  // namespace Plugin
