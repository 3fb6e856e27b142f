#include "render/layer_denoise.h"

#include <GL/glew.h>

#include "denoise/noise_removal.h"
#include "denoise/wavelet_transform.h"
#include "gl/blend_state.h"
#include "gl/host_image.h"
#include "gl/pass_chain.h"
#include "gl/standard_passes.h"
#include "render/frequency_pyramid.h"

namespace Plugin {
namespace {

// E = layer n + edgeGain x minabs(up(layer n + 1)), in the unpadded corner of `estimate`,
// then decomposed into `estimate` as a whole.
void buildEstimate(const HostCall& call, HostImage& frame, int n, HostImage& estimate,
                   const LayerDenoise& s) {
    HostImage corner = estimate;
    corner.width = frame.width >> n;
    corner.height = frame.height >> n;
    updateImageExtents(corner);
    renderBicubicCopy(call, frame, corner, n + 1, 0, s.edgeGain, true);
    {
        const BlendArithmeticScope add(BlendArithmetic::Add, ColourWrites::AllChannels);
        copyImageLevel(call, frame, corner, n, 0);
    }
    forwardTransform(call, corner, estimate, 0, s.wavelet);
}

void denoiseFrameLayer(const HostCall& call, FramePyramid& frame, int n, HostImage& coefficients,
                       HostImage& estimate, const HostImage& brightness, const LayerDenoise& s) {
    HostImage& image = frame.image;
    forwardTransform(call, image, coefficients, n, s.wavelet);
    buildEstimate(call, image, n, estimate, s);
    {
        PassChain shrink(call, &coefficients, &coefficients, false);
        renderNoiseRemoval(call, shrink, brightness, 0, estimate,
                           waveletLevelCount(coefficients.width), s.layer.thresholds,
                           s.layer.removal);
        shrink.finish();
    }
    const bool padded =
        coefficients.width != image.width >> n || coefficients.height != image.height >> n;
    PassChain rebuild(call, &coefficients, &coefficients, false);
    reconstructWavelet(call, rebuild, waveletLevelCount(image.width), s.wavelet);
    rebuild.finish(&image, n, padded);
}

}  // namespace

HostImage createLayerImage(const HostCall& call, const HostImage& frame, int n) {
    const int depth = waveletLevelCount(frame.width);
    return makeImage(call, paddedWaveletSize(frame.width >> n, depth),
                     paddedWaveletSize(frame.height >> n, depth), GL_RGBA16F);
}

void denoiseLayer(const HostCall& call, FrameWindow& window, int n, const HostImage& brightness,
                  const LayerDenoise& settings) {
    HostImageLease coefficients(call, createLayerImage(call, window[0].image, n));
    HostImageLease estimate(call, createLayerImage(call, window[0].image, n));
    for (FramePyramid& frame : window) {
        denoiseFrameLayer(call, frame, n, coefficients.image(), estimate.image(), brightness,
                          settings);
    }
}

}  // namespace Plugin
