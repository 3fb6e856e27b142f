// The Laplacian pyramid of a frame, held in place in its own mip chain: after the split,
// mip level k holds the detail the frame has at scale 2^k and not at 2^(k+1), and level
// layerCount the low-pass residual. Upsampling between levels is the cubic B-spline.
//
// The split and the collapse are exact inverses when no layer changes in between: both use
// the same upsampled residual of the level above.
#pragma once

#include "gl/host_call.h"
#include "plugin/host_api.h"
#include "render/frame_pyramid.h"

namespace Plugin {

// The smallest L >= 1 with 2^(L+1) >= width or 2^(L+1) >= height: 10 for 1920 x 1080.
int frequencyLayerCount(int width, int height);

// Splits a Y'UV image with a mip chain into its layers, in place, finest first.
// GL: leaves blending off (add, ONE/ONE), all colour writes on, no program in use, the
// image's base level 0 and the host's bindings restored.
void decomposeFrequencies(const HostCall& call, HostImage& image, int layerCount);
// The inverse: rebuilds level 0 from the layers and the residual, coarsest first.
// GL: as decomposeFrequencies.
void collapseFrequencies(const HostCall& call, HostImage& image, int layerCount);
// Writes the layers of `source` into levels 0 .. layerCount - 1 of `destination`, leaving
// `source` a plain mip-mapped image; the destination's residual level is not written.
// GL: as decomposeFrequencies.
void decomposeFrequenciesInto(const HostCall& call, HostImage& source, HostImage& destination,
                              int layerCount);

// Level `sourceLevel` of `source`, B-spline upsampled into level `destinationLevel` of
// `destination`, optionally keeping per channel the smallest magnitude among the sample and
// its four neighbours, times `gain`.
// GL: leaves "bicubicCopy" bound, the destination level attached, the source bound on unit 0
// at base level 0; blending and colour writes are the caller's, so it may blend the output.
void renderBicubicCopy(const HostCall& call, const HostImage& source, const HostImage& destination,
                       int sourceLevel, int destinationLevel, float gain, bool minAbs);

}  // namespace Plugin
