// Images the plug-in asks the host for, and the lease that gives them back.
//
// Every texture the plug-in draws into belongs to the host: it is made by CreateImage and
// must go back through ReleaseImage within the same call. A HostImageLease does the giving
// back when it goes out of scope, so an exception leaves no image behind.
#pragma once

#include <cstdint>

#include "gl/host_call.h"
#include "plugin/host_api.h"

namespace Plugin {

// An image of width x height in `internalFormat` (GL_RGBA or GL_RGBA16F), modelled on the
// host's destination record when there is one. Extents cover the used area.
HostImage makeImage(const HostCall& call, int width, int height, uint32_t internalFormat);

// An image modelled on the record the host's template mode names (0: destination, 2: the
// template image, otherwise a plain float RGBA record). With `wantFloat` an 8-bit template
// is allocated as half float; `hostFlag` goes to CreateImage (1 asks for a mip chain).
HostImage makeImageLike(const HostCall& call, int width, int height, bool wantFloat,
                        int32_t hostFlag);

// uMin = vMin = 0, uMax = width / textureWidth, vMax = height / textureHeight.
void updateImageExtents(HostImage& image);

// Owns one lent image until the end of its scope. Move-only.
class HostImageLease {
public:
    HostImageLease(const HostCall& call, const HostImage& image) : call_(call), image_(image) {}
    ~HostImageLease() { giveBack(); }
    HostImageLease(HostImageLease&& other) noexcept;
    HostImageLease& operator=(HostImageLease&& other) noexcept;
    HostImageLease(const HostImageLease&) = delete;
    HostImageLease& operator=(const HostImageLease&) = delete;

    HostImage& image() { return image_; }
    const HostImage& image() const { return image_; }
    HostImage* operator->() { return &image_; }
    // Gives up ownership: the caller releases the image itself.
    HostImage release();
    // Gives the image back now; the lease is empty afterwards.
    void giveBack();

private:
    HostCall call_;
    HostImage image_{};
};

}  // namespace Plugin
