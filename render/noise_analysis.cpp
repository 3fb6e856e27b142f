#include "render/noise_analysis.h"

#include <GL/glew.h>

#include "denoise/colour_conversion.h"
#include "denoise/wavelet_transform.h"
#include "gl/host_image.h"
#include "gl/read_back.h"
#include "gl/render_target.h"
#include "params/parameter_ids.h"
#include "params/threshold_settings.h"
#include "render/analysis_box.h"
#include "render/frequency_pyramid.h"
#include "render/noise_measure.h"

namespace Plugin {
namespace {

// The fetched frame's record narrowed to the box, so that drawing it fills the box image.
HostImage boxOfFrame(const HostImage& frame, const BoxEdges& box, int width, int height) {
    HostImage boxed = frame;
    boxed.uMin = float(box.left) / float(width) * frame.uMax;
    boxed.vMin = float(box.bottom) / float(height) * frame.vMax;
    boxed.uMax = float(box.right) / float(width) * frame.uMax;
    boxed.vMax = float(box.top) / float(height) * frame.vMax;
    return boxed;
}

// Mean Y'UV of the box from mip level `layerCount` of the box image. A box 1 pixel wide or
// high has no texel in that direction at that level, so it is averaged at level 0 instead.
plugin_glsl_types::genVec3<float> meanColour(const HostImage& boxImage, int layerCount) {
    int level = layerCount;
    if ((boxImage.width >> level) <= 0 || (boxImage.height >> level) <= 0) level = 0;
    const TextureDataV3 texels = readImage(boxImage, true, level);
    double sum[3] = {0.0, 0.0, 0.0};
    for (int y = 0; y < texels.height; ++y) {
        for (int x = 0; x < texels.width; ++x) {
            const auto& c = texels.at(x, y);
            sum[0] += c.x;
            sum[1] += c.y;
            sum[2] += c.z;
        }
    }
    const double scale = 1.0 / (double(texels.width) * double(texels.height));
    return {float(sum[0] * scale), float(sum[1] * scale), float(sum[2] * scale)};
}

// Wavelet coefficients of frequency layer `layer`, read back whole.
TextureDataV4 layerCoefficients(const HostCall& call, HostImage& layers, int layer,
                                const Wavelet& wavelet) {
    HostImageLease coefficients(call, analysisForwardTransform(call, layers, layer, wavelet));
    TextureDataV4 buffer;
    readImageRGBA(buffer, coefficients.image(), 0, 0, coefficients->width, coefficients->height);
    // The texture goes back to the host next, so it must not stay attached.
    detachRenderTarget(GL_COLOR_ATTACHMENT0);
    return buffer;
}

}  // namespace

void analyzeNoise(const HostCall& call, const AnalysisSettings& settings, AnalysisResult& result) {
    const RenderContext* rc = call.renderContext();
    // Without an instance there are no programs to measure with.
    if (rc == nullptr || rc->valid == 0 || instanceOf(call.api) == nullptr) return;
    resetAnalysisResult(result, 0);

    // An empty box, or one wholly outside the frame, has nothing to measure: the result
    // stays reset and no frame is fetched. A box partly outside is measured as drawn, its
    // outside part repeating the frame's edge texels.
    const BoxCorners& c = settings.box;
    const BoxEdges box = boxEdges(rc->width, rc->height, c.x1, c.y1, c.x2, c.y2);
    if (box.empty() || !box.overlapsFrame(rc->width, rc->height)) return;

    HostImage fetched{};
    if (call.api->GetSourceFrame(call.host, rc, rc->currentFrame, &fetched) != 0) return;
    const HostBindingsGuard bindings(call);
    const HostImageLease frame(call, fetched);

    const int bw = box.width();
    const int bh = box.height();
    HostImageLease boxImage(call, makeImageLike(call, bw, bh, true, 1));
    if (boxImage->texture == 0) return;  // the host refused an image this large
    renderRGBToYUV(call, boxOfFrame(frame.image(), box, rc->width, rc->height), boxImage.image());
    HostImageLease layerImage(call, makeImageLike(call, bw, bh, true, 1));
    if (layerImage->texture == 0) return;

    const int layerCount = frequencyLayerCount(bw, bh);
    resetAnalysisResult(result, layerCount - 1);
    decomposeFrequenciesInto(call, boxImage.image(), layerImage.image(), layerCount);
    result.meanColour = meanColour(boxImage.image(), layerCount);

    // The coarsest band-pass layer and the residual are never shrunk, so they get no entry.
    const int levels = waveletLevelCount(layerImage->width);
    for (int n = layerCount - 2; n >= 0; --n) {
        const TextureDataV4 coefficients =
            layerCoefficients(call, layerImage.image(), n, *settings.wavelet);
        measureWaveletLevels(coefficients, levels, result.layers[size_t(n)]);
    }
}

}  // namespace Plugin
