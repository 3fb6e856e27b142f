#include "render/render_effect.h"

#include <GL/glew.h>

#include <future>
#include <utility>
#include <vector>

#include "denoise/colour_conversion.h"
#include "gl/blend_state.h"
#include "gl/host_image.h"
#include "gl/render_target.h"
#include "gl/standard_passes.h"
#include "params/parameter_ids.h"
#include "render/frame_alignment.h"
#include "render/frame_window.h"
#include "render/frequency_pyramid.h"
#include "render/layer_denoise.h"
#include "render/render_settings.h"
#include "render/temporal_transform.h"
#include "render/view_modes.h"

namespace Plugin {
namespace {

// Every neighbour's motion is measured off the GL thread while the GL warps the neighbours
// whose flow is done. The flow runs one computation at a time (its workers share one
// process-wide barrier), so the flows queue behind each other; the warps overlap them.
void alignNeighbours(const HostCall& call, LoadedWindow& window, int currentIndex) {
    const FramePyramid& reference = window.frames[size_t(currentIndex)];
    std::vector<std::pair<size_t, std::future<TextureDataV4>>> flows;
    for (size_t i = 0; i < window.frames.size(); ++i) {
        if (int(i) == currentIndex) continue;
        auto lumas = readMotionLumas(call, reference, window.frames[i], kAlignmentLevel);
        if (!lumas) continue;
        flows.emplace_back(i, std::async(std::launch::async, measureMotion, std::move(*lumas)));
    }
    for (auto& [i, flow] : flows) warpFrame(call, window.frames[i], flow.get());
}

// Luma of the current source with a mip chain, for the brightness-dependent thresholds.
HostImageLease makeBrightnessImage(const HostCall& call) {
    const RenderContext& rc = *call.renderContext();
    HostImageLease brightness(
        call, makeImageLike(call, rc.destination->width, rc.destination->height, true, 1));
    renderRGBToYUV(call, *rc.source, brightness.image());
    bindTextureUnit(GL_TEXTURE0, brightness->texture, false);
    glGenerateMipmap(GL_TEXTURE_2D);
    return brightness;
}

// Coarse to fine; the last band-pass layer and the residual are never shrunk.
void denoiseLayers(const HostCall& call, FrameWindow& frames, const RenderSettings& s) {
    HostImageLease brightness = makeBrightnessImage(call);
    for (int n = int(s.layers.size()) - 1; n >= 0; --n) {
        const LayerSettings& layer = s.layers[size_t(n)];
        if (!layer.shrink) continue;
        denoiseLayer(call, frames, n, brightness.image(), {layer, s.edgeGain, *s.wavelet});
    }
}

// The collapsed current frame, with the source's alpha exactly, into the destination. The
// alpha goes into the frame itself, which nothing reads after this.
void writeResult(const HostCall& call, HostImage& current, int layerCount) {
    const RenderContext& rc = *call.renderContext();
    collapseFrequencies(call, current, layerCount);
    {
        const BlendArithmeticScope alphaOnly(BlendArithmetic::Replace, ColourWrites::AlphaOnly);
        copyImage(call, *rc.source, current);
    }
    glFlush();
    renderYUVToRGB(call, current, *rc.destination);
}

// What every rendering path leaves for the host, however the render ends.
class RenderEndGuard {
public:
    explicit RenderEndGuard(const HostCall& call) : call_(call) {}
    ~RenderEndGuard() {
        const RenderContext& rc = *call_.renderContext();
        attachRenderTarget(*rc.destination, 0);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_BASE_LEVEL, 0);
        endBlendArithmetic();
        bindTextureUnit(GL_TEXTURE0, rc.source->texture, true);
        setUnitNearest(GL_TEXTURE0, true);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_BASE_LEVEL, 0);
        glUseProgram(0);
    }
    RenderEndGuard(const RenderEndGuard&) = delete;
    RenderEndGuard& operator=(const RenderEndGuard&) = delete;

private:
    HostCall call_;
};

void renderWindow(const HostCall& call, RenderSettings& s) {
    const RenderContext& rc = *call.renderContext();
    const int layerCount = frequencyLayerCount(rc.source->width, rc.source->height);
    readRenderSettings(call, layerCount, s);
    const rules::WindowRange range = rules::frameWindowRange(
        rc.currentFrame, rc.frameCount, s.frames, !hostKeepsWindowPastTheEnd(call));
    LoadedWindow window;
    if (!loadFrameWindow(call, range, window)) return;  // the host asked to stop
    if (s.trackMovement) alignNeighbours(call, window, range.currentIndex);
    for (FramePyramid& frame : window.frames) decomposeFrequencies(call, frame.image, layerCount);
    if (window.frames.size() > 1) temporalForward(call, window.frames, layerCount, 0);
    denoiseLayers(call, window.frames, s);
    if (window.frames.size() > 1) temporalInverse(call, window.frames, layerCount, 0);
    FramePyramid& current = window.frames[size_t(range.currentIndex)];
    if (s.viewOption == rules::kViewResult) {
        writeResult(call, current.image, layerCount);
    } else {
        renderFrequencyView(call, current, s.mipmapLevel, s.viewOption, s.frequencyContrast);
    }
}

}  // namespace

int32_t renderEffect(const HostCall& call) {
    // A host that never created the instance, or that has no frame to render, gets nothing.
    const RenderContext* rc = call.renderContext();
    if (instanceOf(call.api) == nullptr || rc == nullptr || rc->valid == 0 ||
        rc->source == nullptr || rc->destination == nullptr) {
        return 1;
    }
    RenderSettings s = readViewSettings(call);
    if (!s.imageAnalysed || s.viewOption == rules::kViewAnalysisBox) {
        renderAnalysisBox(call, s.box);
        return 1;
    }
    const RenderEndGuard end(call);
    renderWindow(call, s);
    return 1;
}

}  // namespace Plugin
