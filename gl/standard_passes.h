// The standard copy passes: plain copy ("glCopy"), copy between mip levels, and the
// mirror-padding copy ("copyPaddedImage") that grows an image to a size the wavelet
// transform can halve.
//
// None of them changes blending, the blend equation, the colour mask or any enable, so a
// caller that composites sets that state around the call.
#pragma once

#include "gl/host_call.h"
#include "gl/quad_draw.h"
#include "plugin/host_api.h"

namespace Plugin {

// Mode of copyPaddedImage's colour transform.
enum PadMode : int { kPadCopy = 0, kPadLog2 = 1, kPadExp2 = 2 };

// Copies src into level 0 of dst over the render context's quad. Does nothing when "glCopy"
// is not registered.
// GL: ends with the host's bindings restored and no program bound.
void copyImage(const HostCall& call, const HostImage& src, const HostImage& dst);

// As copyImage from level srcLevel of src into level dstLevel of dst.
// GL: as copyImage; src's base level is back at 0.
void copyImageLevel(const HostCall& call, const HostImage& src, const HostImage& dst, int srcLevel,
                    int dstLevel);

// One "glCopy" draw of level srcLevel of src over `quad` into level dstLevel of dst, in the
// blend state the caller set. The quad's extents must be the source's.
// GL: leaves "glCopy" bound, dst attached and src on unit 0 with its base level back at 0.
void drawLevelCopy(const HostCall& call, const HostImage& src, int srcLevel, const Quad& quad,
                   const HostImage& dst, int dstLevel);

// Level srcLevel of src, mirror-repeated over the whole of level dstLevel of dst (a 1:1 copy
// when the sizes agree).
// GL: leaves dst attached at dstLevel, src bound on unit 0 (base level 0, nearest filtering)
// and "copyPaddedImage" bound.
void padImage(const HostCall& call, const HostImage& src, const HostImage& dst, int srcLevel,
              int dstLevel, PadMode mode);

}  // namespace Plugin
