#include "render/frame_alignment.h"

#include <GL/glew.h>

#include "flow/dual_flow.h"
#include "gl/host_image.h"
#include "gl/program_uniforms.h"
#include "gl/quad_draw.h"
#include "gl/read_back.h"
#include "gl/render_target.h"
#include "gl/standard_passes.h"
#include "shaders/flow_displacement_program.h"

namespace Plugin {
namespace {

constexpr const char* kDisplacementProgram = "opticalFlowDisplacement";
// Luma in [0, 1] becomes [0, 256]: the flow's determinant guard is an absolute 1e-6, so
// on unit-range luma faint texture would read as degenerate.
constexpr float kLumaScale = 256.0f;

void rebuildMipChain(const HostImage& image) {
    bindTextureUnit(GL_TEXTURE0, image.texture, false);
    glGenerateMipmap(GL_TEXTURE_2D);
}

void scaleLuma(TextureDataV1& luma) {
    for (int y = 0; y < luma.height; ++y) {
        for (int x = 0; x < luma.width; ++x) luma.at(x, y) *= kLumaScale;
    }
}

HostImageLease uploadFlow(const HostCall& call, const TextureDataV4& field) {
    HostImageLease texture(call, makeImageLike(call, field.width, field.height, true, 0));
    bindTextureUnit(GL_TEXTURE0, texture->texture, true);
    glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, field.width, field.height, GL_RGBA, GL_FLOAT,
                    field.data.get());
    return texture;
}

void setDisplacementUniforms(const HostCall& call, const HostImage& frame, const HostImage& flow) {
    const EffectData& effect = call.effect();
    setVertexMatrices(call);
    setSourceSamplerUnit0(call);
    effect.setUniform1i(effect.uniformLocation(shaders::kFlowUniform), 1);
    effect.setUniform2f(effect.uniformLocation(shaders::kSourceExtentUniform), frame.uMax,
                        frame.vMax);
    effect.setUniform2f(effect.uniformLocation(shaders::kFlowExtentUniform), flow.uMax, flow.vMax);
    effect.setUniform2f(effect.uniformLocation(shaders::kPixelStepUniform),
                        1.0f / float(flow.width), 1.0f / float(flow.height));
}

// The whole output in one strip, the texture coordinates spanning [0, 1]: the program
// scales them by each texture's extents itself.
void drawDisplaced(const HostCall& call, const HostImage& frame, const HostImage& flow,
                   const HostImage& output) {
    const HostBindingsGuard restore(call);
    const EffectData& effect = call.effect();
    attachRenderTarget(output, 0);
    effect.bindProgram(kDisplacementProgram);
    bindTextureUnit(GL_TEXTURE1, flow.texture, true);
    bindTextureUnit(GL_TEXTURE0, frame.texture, true);
    setDisplacementUniforms(call, frame, flow);
    const RenderContext& rc = *call.renderContext();
    const auto w = float(rc.width);
    const auto h = float(rc.height);
    const Quad quad = {0, 0, 0, 0, w, 0, 1, 0, 0, h, 0, 1, w, h, 1, 1};
    drawQuad(call, quad);
    unbindTextureUnit(GL_TEXTURE1, false);
    effect.releaseProgram();
}

}  // namespace

std::optional<MotionLumas> readMotionLumas(const HostCall& call, const FramePyramid& reference,
                                           const FramePyramid& frame, int level) {
    if (level != 0) {
        rebuildMipChain(reference.image);
        rebuildMipChain(frame.image);
    }
    MotionLumas lumas;
    {
        const HostBindingsGuard restore(call);
        lumas.reference = readLevelRed(reference.image, level);
        lumas.frame = readLevelRed(frame.image, level);
    }
    const bool stop = call.api->ReportProgress(call.host, 10, 100) != 0;
    const bool sameSize =
        lumas.reference.width == lumas.frame.width && lumas.reference.height == lumas.frame.height;
    // A level so small that nothing is left to measure has no motion to undo.
    if (stop || !sameSize || lumas.reference.width <= 0 || lumas.reference.height <= 0) {
        return std::nullopt;
    }
    return lumas;
}

TextureDataV4 measureMotion(MotionLumas lumas) {
    scaleLuma(lumas.reference);
    scaleLuma(lumas.frame);
    TextureDataV4 field(lumas.reference.width, lumas.reference.height);
    FarnebackOpticalFlow::DualFlow::compute(lumas.reference, lumas.frame, field, 10, 5, 1, 5,
                                            double(1.1f));
    return field;
}

std::optional<TextureDataV4> measureFrameMotion(const HostCall& call, const FramePyramid& reference,
                                                const FramePyramid& frame, int level) {
    auto lumas = readMotionLumas(call, reference, frame, level);
    if (!lumas) return std::nullopt;
    return measureMotion(std::move(*lumas));
}

void warpFrame(const HostCall& call, FramePyramid& frame, const TextureDataV4& field) {
    HostImageLease flow = uploadFlow(call, field);
    HostImageLease output(call,
                          makeImageLike(call, frame.image.width, frame.image.height, true, 0));
    drawDisplaced(call, frame.image, flow.image(), output.image());
    copyImage(call, output.image(), frame.image);
}

void alignFrame(const HostCall& call, const FramePyramid& reference, FramePyramid& frame,
                int level) {
    if (const auto field = measureFrameMotion(call, reference, frame, level)) {
        warpFrame(call, frame, *field);
    }
}

}  // namespace Plugin
