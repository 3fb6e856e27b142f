#include "gl/standard_passes.h"

#include <GL/glew.h>

#include "gl/program_uniforms.h"
#include "gl/quad_draw.h"
#include "gl/render_target.h"
#include "shaders/standard_programs.h"

namespace Plugin {
namespace {

constexpr const char* kCopyProgram = "glCopy";
constexpr const char* kPaddedCopyProgram = "copyPaddedImage";

// The width and height the padding treats as the source's. The host's source record can
// describe the frame's texture rather than the picture, so the output size stands in.
void sourceSizeOf(const HostCall& call, const HostImage& src, int& width, int& height) {
    const HostImage* hostSource = call.sourceImage();
    const HostImage* hostDestination = call.destinationImage();
    const bool isHostSource = hostSource != nullptr && hostSource->texture == src.texture;
    const HostImage& sized = isHostSource && hostDestination != nullptr ? *hostDestination : src;
    width = sized.width;
    height = sized.height;
}

}  // namespace

void drawLevelCopy(const HostCall& call, const HostImage& src, int srcLevel, const Quad& quad,
                   const HostImage& dst, int dstLevel) {
    call.effect().bindProgram(kCopyProgram);
    setVertexMatrices(call);
    setSourceSamplerUnit0(call);
    attachRenderTarget(dst, dstLevel);
    bindTextureUnit(GL_TEXTURE0, src.texture, true);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_BASE_LEVEL, srcLevel);
    drawQuad(call, quad);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_BASE_LEVEL, 0);
}

void copyImage(const HostCall& call, const HostImage& src, const HostImage& dst) {
    copyImageLevel(call, src, dst, 0, 0);
}

void copyImageLevel(const HostCall& call, const HostImage& src, const HostImage& dst, int srcLevel,
                    int dstLevel) {
    EffectData& effect = call.effect();
    if (effect.programId(kCopyProgram) < 0) return;
    const HostBindingsGuard restore(call);
    const RenderContext& rc = *call.renderContext();
    drawLevelCopy(call, src, srcLevel, fillQuad(src, rc.width, rc.height), dst, dstLevel);
    effect.releaseProgram();
}

void padImage(const HostCall& call, const HostImage& src, const HostImage& dst, int srcLevel,
              int dstLevel, PadMode mode) {
    EffectData& effect = call.effect();
    attachRenderTarget(dst, dstLevel);
    effect.bindProgram(kPaddedCopyProgram);
    setVertexMatrices(call);
    setSourceSamplerUnit0(call);
    bindTextureUnit(GL_TEXTURE0, src.texture, true);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_BASE_LEVEL, srcLevel);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);

    int width = 0;
    int height = 0;
    sourceSizeOf(call, src, width, height);
    effect.setUniform2f(effect.uniformLocation(shaders::kExtentUniform), src.uMax, src.vMax);
    effect.setUniform1i(effect.uniformLocation(shaders::kModeUniform), mode);
    effect.setUniform2f(effect.uniformLocation(shaders::kSourceSizeUniform),
                        float(width >> srcLevel), float(height >> srcLevel));
    effect.setUniform2f(effect.uniformLocation(shaders::kDestinationSizeUniform),
                        float(dst.width >> dstLevel), float(dst.height >> dstLevel));

    const RenderContext& rc = *call.renderContext();
    drawQuad(call, fillQuad(src, rc.width, rc.height));
    glFlush();
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_BASE_LEVEL, 0);
}

}  // namespace Plugin
