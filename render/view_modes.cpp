#include "render/view_modes.h"

#include <GL/glew.h>

#include "gl/host_image.h"
#include "gl/program_uniforms.h"
#include "gl/quad_draw.h"
#include "gl/render_target.h"
#include "params/effect_rules.h"
#include "render/analysis_box.h"
#include "render/frequency_pyramid.h"
#include "shaders/view_programs.h"

namespace Plugin {
namespace {

// Mode 1 is Y as grey; the U and V entries show their own plane the same way.
int viewModeFor(int viewOption) {
    switch (viewOption) {
        case rules::kViewFrequencyY:
            return 1;
        case rules::kViewFrequencyU:
            return 2;
        case rules::kViewFrequencyV:
            return 3;
        default:
            return 0;
    }
}

}  // namespace

void renderAnalysisBox(const HostCall& call, const BoxCorners& corners) {
    const RenderContext& rc = *call.renderContext();
    const HostImage& source = *rc.source;
    const BoxEdges box =
        boxEdges(rc.width, rc.height, corners.x1, corners.y1, corners.x2, corners.y2);
    const EffectData& effect = call.effect();
    effect.bindProgram("AnalysisBox");
    setVertexMatrices(call);
    setSourceSamplerUnit0(call);
    const float w = float(rc.width);
    const float h = float(rc.height);
    effect.setUniform2f(effect.uniformLocation(shaders::kBoxMinimumUniform),
                        float(box.left) / w * source.uMax, float(box.bottom) / h * source.vMax);
    effect.setUniform2f(effect.uniformLocation(shaders::kBoxMaximumUniform),
                        float(box.right) / w * source.uMax, float(box.top) / h * source.vMax);
    bindTextureUnit(GL_TEXTURE0, source.texture, true);
    drawQuad(call, fillQuad(source, rc.width, rc.height));
    bindTextureUnit(GL_TEXTURE0, source.texture, true);
    setUnitNearest(GL_TEXTURE0, true);
    effect.releaseProgram();
}

void renderFrequencyView(const HostCall& call, const FramePyramid& pyramid, int layer,
                         int viewOption, float contrast) {
    const RenderContext& rc = *call.renderContext();
    const HostImage& destination = *rc.destination;
    HostImageLease view(call, makeImageLike(call, destination.width, destination.height, true, 0));
    renderBicubicCopy(call, pyramid.image, view.image(), layer, 0, 1.0f, false);
    attachRenderTarget(destination, 0);
    const EffectData& effect = call.effect();
    effect.bindProgram("viewFrequency");
    setVertexMatrices(call);
    setSourceSamplerUnit0(call);
    effect.setUniform1i(effect.uniformLocation(shaders::kViewModeUniform), viewModeFor(viewOption));
    effect.setUniform1f(effect.uniformLocation(shaders::kContrastUniform), contrast);
    bindTextureUnit(GL_TEXTURE0, view->texture, true);
    drawQuad(call, fillQuad(view.image(), rc.width, rc.height));
}

}  // namespace Plugin
