#include "host/gl_images.h"

#include <GL/glew.h>

#include <algorithm>
#include <bit>
#include <stdexcept>
#include <utility>

#include "host/gl_state.h"

namespace kestrel {
namespace {

bool supportedInternalFormat(uint32_t internalFormat) {
    return internalFormat == GL_RGBA || internalFormat == GL_RGBA16F ||
           internalFormat == GL_RGBA32F;
}

int levelSize(int size, int level) {
    return std::max(1, size >> level);
}

// Gives the texture its storage; GL 4.1 has no glTexStorage2D, so level by level.
void allocateLevels(uint32_t internalFormat, int width, int height, int levels) {
    for (int level = 0; level < levels; ++level) {
        glTexImage2D(GL_TEXTURE_2D, level, static_cast<GLint>(internalFormat),
                     levelSize(width, level), levelSize(height, level), 0, GL_RGBA, GL_FLOAT,
                     nullptr);
    }
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_BASE_LEVEL, 0);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, levels - 1);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER,
                    levels > 1 ? GL_LINEAR_MIPMAP_LINEAR : GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
}

}  // namespace

int paddedTextureSize(int size, TexturePadding padding) {
    switch (padding) {
        case TexturePadding::None:
            return size;
        case TexturePadding::Multiple16:
            return (size + 15) / 16 * 16;
        case TexturePadding::PowerOfTwo:
            return static_cast<int>(std::bit_ceil(static_cast<unsigned>(size)));
    }
    return size;
}

int mipLevelCount(int width, int height) {
    return std::bit_width(static_cast<unsigned>(std::max({width, height, 1})));
}

uint32_t ImagePool::create(int width, int height, uint32_t internalFormat, uint32_t /*format*/,
                           uint32_t type, int flag, int* textureWidth, int* textureHeight) {
    if (width <= 0 || height <= 0 || !supportedInternalFormat(internalFormat)) {
        ++hostErrors_;
        return 0;
    }
    const Key key{paddedTextureSize(width, padding_), paddedTextureSize(height, padding_),
                  internalFormat, flag == 1};
    Entry* entry = findFree(key);
    if (entry == nullptr) entry = &allocate(key);
    entry->lent = true;
    entry->width = width;
    entry->height = height;
    entry->pixelType = type;
    ++lent_;
    if (textureWidth != nullptr) *textureWidth = key.textureWidth;
    if (textureHeight != nullptr) *textureHeight = key.textureHeight;
    return entry->texture.name();
}

ImagePool::Entry* ImagePool::findFree(const Key& key) {
    for (auto& [name, entry] : entries_) {
        if (!entry.lent && entry.key == key) return &entry;
    }
    return nullptr;
}

ImagePool::Entry& ImagePool::allocate(const Key& key) {
    GlTexture texture;
    {
        ScopedBinding keep(GL_TEXTURE_2D, GL_TEXTURE_BINDING_2D, glBindTexture);
        glBindTexture(GL_TEXTURE_2D, texture.name());
        const int levels = key.mipmapped ? mipLevelCount(key.textureWidth, key.textureHeight) : 1;
        allocateLevels(key.internalFormat, key.textureWidth, key.textureHeight, levels);
    }
    ++created_;
    const uint32_t name = texture.name();
    Entry& entry = entries_[name];
    entry.texture = std::move(texture);
    entry.key = key;
    return entry;
}

void ImagePool::release(uint32_t texture) {
    auto it = entries_.find(texture);
    if (it == entries_.end() || !it->second.lent) {
        ++hostErrors_;
        return;
    }
    it->second.lent = false;
    ++returned_;
}

const ImagePool::Entry* ImagePool::lentEntry(uint32_t texture) const {
    auto it = entries_.find(texture);
    return it == entries_.end() || !it->second.lent ? nullptr : &it->second;
}

bool ImagePool::isLent(uint32_t texture) const {
    return lentEntry(texture) != nullptr;
}

bool ImagePool::describe(uint32_t texture, HostImage* out) const {
    const Entry* entry = lentEntry(texture);
    if (entry == nullptr || out == nullptr) {
        ++hostErrors_;
        return false;
    }
    const Key& key = entry->key;
    *out = HostImage{};
    out->texture = texture;
    out->pixelType = entry->pixelType;
    out->internalFormat = key.internalFormat;
    out->textureWidth = key.textureWidth;
    out->textureHeight = key.textureHeight;
    out->width = entry->width;
    out->height = entry->height;
    out->uMax = static_cast<float>(entry->width) / static_cast<float>(key.textureWidth);
    out->vMax = static_cast<float>(entry->height) / static_cast<float>(key.textureHeight);
    out->scaleX = 1.0f;
    out->scaleY = 1.0f;
    return true;
}

bool ImagePool::regionFits(const Entry* entry, int level, int width, int height) const {
    if (entry == nullptr || level < 0 || width <= 0 || height <= 0) return false;
    const Key& key = entry->key;
    const int levels = key.mipmapped ? mipLevelCount(key.textureWidth, key.textureHeight) : 1;
    return level < levels && width <= levelSize(key.textureWidth, level) &&
           height <= levelSize(key.textureHeight, level);
}

std::vector<float> ImagePool::readBack(uint32_t texture, int level, int width, int height) const {
    if (!regionFits(lentEntry(texture), level, width, height)) {
        ++hostErrors_;
        return {};
    }
    // A pixel-pack buffer left bound by an effect would swallow the pixels.
    ScopedBinding keepPack(GL_PIXEL_PACK_BUFFER, GL_PIXEL_PACK_BUFFER_BINDING, glBindBuffer);
    ScopedBinding keepRead(GL_READ_FRAMEBUFFER, GL_READ_FRAMEBUFFER_BINDING, glBindFramebuffer);
    glBindBuffer(GL_PIXEL_PACK_BUFFER, 0);
    Framebuffer framebuffer;
    framebuffer.attachForReading(texture, level);
    std::vector<float> pixels(static_cast<size_t>(width) * static_cast<size_t>(height) * 4);
    // llvmpipe can hand back a level before draws queued into it through another
    // framebuffer have landed; waiting for them costs nothing a test or a tool would notice.
    glFinish();
    glReadPixels(0, 0, width, height, GL_RGBA, GL_FLOAT, pixels.data());
    return pixels;
}

bool ImagePool::upload(uint32_t texture, int level, int width, int height, const float* rgba) {
    if (rgba == nullptr || !regionFits(lentEntry(texture), level, width, height)) {
        ++hostErrors_;
        return false;
    }
    ScopedBinding keepUnpack(GL_PIXEL_UNPACK_BUFFER, GL_PIXEL_UNPACK_BUFFER_BINDING, glBindBuffer);
    ScopedBinding keepTexture(GL_TEXTURE_2D, GL_TEXTURE_BINDING_2D, glBindTexture);
    glBindBuffer(GL_PIXEL_UNPACK_BUFFER, 0);
    glBindTexture(GL_TEXTURE_2D, texture);
    glTexSubImage2D(GL_TEXTURE_2D, level, 0, 0, width, height, GL_RGBA, GL_FLOAT, rgba);
    return true;
}

}  // namespace kestrel
