// One frequency layer of every frame of the window, denoised: wavelet-decomposed, shrunk
// against an estimate built from the layer and the layer above, and rebuilt in place.
#pragma once

#include "gl/host_call.h"
#include "image/texture_data.h"
#include "render/frame_pyramid.h"
#include "render/render_settings.h"

namespace Plugin {

// An RGBA16F image for layer n of the frame, padded to a multiple of 2^d on both sides,
// d being the wavelet depth of the frame's width.
HostImage createLayerImage(const HostCall& call, const HostImage& frame, int n);

// What the denoising of one layer uses besides the frames.
struct LayerDenoise {
    const LayerSettings& layer;  // thresholds and removal shares
    float edgeGain;              // scales the upper layer's contribution to the estimate
    const Wavelet& wavelet;
};

// Denoises layer n of every frame of the window, in window order. `brightness` carries luma
// in red.
// GL: every image it makes is given back; ends with blending off and all colour writes on.
void denoiseLayer(const HostCall& call, FrameWindow& window, int n, const HostImage& brightness,
                  const LayerDenoise& settings);

}  // namespace Plugin
