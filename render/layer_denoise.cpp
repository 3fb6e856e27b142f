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

// The images of one layer, reused by every frame of the window.
struct LayerImages {
    HostImage& coefficients;
    HostImage& estimate;
    HostImage& shrunk;  // also holds the estimate's sum before its transform
};

// E = layer n + edgeGain x minabs(up(layer n + 1)), summed in the unpadded corner of `work`,
// then decomposed into `estimate`. Summing apart from `estimate` lets the padding pass write
// straight into it, so the transform ends there without a copy.
void buildEstimate(const HostCall& call, HostImage& frame, int n, const HostImage& work,
                   HostImage& estimate, const LayerDenoise& s) {
    HostImage corner = work;
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

// The shrinkage writes a third image and the synthesis ping-pongs between it and the
// coefficients, so neither needs a copy back.
void denoiseFrameLayer(const HostCall& call, FramePyramid& frame, int n, const LayerImages& images,
                       const HostImage& brightness, const LayerDenoise& s) {
    HostImage& image = frame.image;
    forwardTransform(call, image, images.coefficients, n, s.wavelet);
    buildEstimate(call, image, n, images.shrunk, images.estimate, s);
    {
        PassChain shrink(call, &images.coefficients, &images.shrunk, true);
        renderNoiseRemoval(call, shrink, brightness, 0, images.estimate,
                           waveletLevelCount(images.coefficients.width), s.layer.thresholds,
                           s.layer.removal);
        shrink.finish();
    }
    const bool padded = images.coefficients.width != image.width >> n ||
                        images.coefficients.height != image.height >> n;
    PassChain rebuild(call, &images.shrunk, &images.coefficients, true);
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
    HostImageLease shrunk(call, createLayerImage(call, window[0].image, n));
    const LayerImages images{coefficients.image(), estimate.image(), shrunk.image()};
    for (FramePyramid& frame : window) {
        denoiseFrameLayer(call, frame, n, images, brightness, settings);
    }
}

}  // namespace Plugin
