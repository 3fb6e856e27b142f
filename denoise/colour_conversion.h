// The two full-frame colour passes: the host's premultiplied RGBA into straight-alpha
// Y'UV ("RGBToYUV") and back ("YUVToRGB"). Alpha passes through both untouched.
#pragma once

#include "gl/host_call.h"
#include "plugin/host_api.h"

namespace Plugin {

// Draws src converted into level 0 of dst over the unit quad.
// GL: ends with the host's destination attached (or attachment 0 empty), the host's source
// on unit 0 with nearest filtering, and no program bound.
void renderRGBToYUV(const HostCall& call, const HostImage& src, const HostImage& dst);
void renderYUVToRGB(const HostCall& call, const HostImage& src, const HostImage& dst);

// Column-major glOrtho(left, right, bottom, top, near, far).
void orthographicMatrix(float* m, float left, float right, float bottom, float top, float near,
                        float far);

}  // namespace Plugin
