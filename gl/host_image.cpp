#include "gl/host_image.h"

#include <GL/glew.h>

#include <utility>

namespace Plugin {
namespace {

HostImage defaultRecord() {
    HostImage image{};
    image.pixelType = GL_FLOAT;
    image.internalFormat = GL_RGBA;
    image.scaleX = 1.0f;
    image.scaleY = 1.0f;
    return image;
}

uint32_t createTexture(const HostCall& call, HostImage& image, uint32_t internalFormat,
                       int32_t hostFlag) {
    return call.api->CreateImage(call.host, call.renderContext(), image.width, image.height,
                                 internalFormat, GL_RGBA, image.pixelType, 0, 0,
                                 &image.textureWidth, &image.textureHeight, hostFlag);
}

const HostImage* templateFor(const HostCall& call) {
    switch (call.api->imageTemplateMode) {
        case 0:
            return call.destinationImage();
        case 2:
            return call.renderContext() != nullptr ? call.renderContext()->templateImage : nullptr;
        default:
            return nullptr;
    }
}

}  // namespace

HostImage makeImage(const HostCall& call, int width, int height, uint32_t internalFormat) {
    HostImage image{};
    image.pixelType = GL_FLOAT;
    if (const HostImage* destination = call.destinationImage()) image = *destination;
    image.width = width;
    image.height = height;
    image.internalFormat = internalFormat;
    image.texture = createTexture(call, image, internalFormat, 0);
    updateImageExtents(image);
    return image;
}

HostImage makeImageLike(const HostCall& call, int width, int height, bool wantFloat,
                        int32_t hostFlag) {
    const HostImage* model = templateFor(call);
    HostImage image = model != nullptr ? *model : defaultRecord();
    image.width = width;
    image.height = height;
    // 8-bit templates cannot hold signed Y'UV, so the allocation is widened; the record
    // keeps the template's format as the host described it.
    const bool widen = wantFloat && image.internalFormat == GL_RGBA;
    image.texture = createTexture(call, image, widen ? GL_RGBA16F : image.internalFormat, hostFlag);
    updateImageExtents(image);
    return image;
}

void updateImageExtents(HostImage& image) {
    image.uMin = 0.0f;
    image.vMin = 0.0f;
    image.uMax = float(image.width) / float(image.textureWidth);
    image.vMax = float(image.height) / float(image.textureHeight);
}

HostImageLease::HostImageLease(HostImageLease&& other) noexcept
    : call_(other.call_), image_(std::exchange(other.image_, HostImage{})) {}

HostImageLease& HostImageLease::operator=(HostImageLease&& other) noexcept {
    if (this != &other) {
        giveBack();
        call_ = other.call_;
        image_ = std::exchange(other.image_, HostImage{});
    }
    return *this;
}

HostImage HostImageLease::release() {
    return std::exchange(image_, HostImage{});
}

void HostImageLease::giveBack() {
    if (image_.texture != 0)
        call_.api->ReleaseImage(call_.host, call_.renderContext(), image_.texture);
    image_.texture = 0;
}

}  // namespace Plugin
