#include "render/frequency_pyramid.h"

#include <GL/glew.h>

#include "gl/blend_state.h"
#include "gl/pass_guard.h"
#include "gl/program_uniforms.h"
#include "gl/quad_draw.h"
#include "gl/render_target.h"
#include "shaders/pyramid_programs.h"

namespace Plugin {
namespace {

constexpr const char* kDecompositionProgram = "ImageFrequencyDecomposition";
constexpr const char* kBicubicCopyProgram = "bicubicCopy";

enum SampleMode : int { kPlainSample = 0, kBSplineSample = 1 };

void generateMipChain(const HostImage& image) {
    bindTextureUnit(GL_TEXTURE0, image.texture, false);
    glGenerateMipmap(GL_TEXTURE_2D);
}

// Binds the program with the matrices and unit 0, and the image to sample with linear
// filtering (the B-spline's bilinear taps need it). Returns the quad over the image.
Quad startPyramidDraws(const HostCall& call, const char* program, const HostImage& sampled) {
    call.effect().bindProgram(program);
    setVertexMatrices(call);
    setSourceSamplerUnit0(call);
    bindTextureUnit(GL_TEXTURE0, sampled.texture, true);
    const RenderContext& rc = *call.renderContext();
    return fillQuad(sampled, rc.width, rc.height);
}

// One draw of `level` of the texture bound on unit 0, sampled as `mode` says.
void drawLevel(const HostCall& call, const Quad& quad, const HostImage& sampled, int level,
               SampleMode mode) {
    const EffectData& effect = call.effect();
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_BASE_LEVEL, level);
    effect.setUniform2f(effect.uniformLocation(shaders::kLevelSizeUniform),
                        float(sampled.textureWidth >> level),
                        float(sampled.textureHeight >> level));
    effect.setUniform1i(effect.uniformLocation(shaders::kSampleModeUniform), mode);
    drawQuad(call, quad);
    glFlush();
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_BASE_LEVEL, 0);
}

}  // namespace

int frequencyLayerCount(int width, int height) {
    int layers = 1;
    while ((2 << layers) < width && (2 << layers) < height) ++layers;
    return layers;
}

void decomposeFrequencies(const HostCall& call, HostImage& image, int layerCount) {
    const BlendingPassGuard end(call);
    generateMipChain(image);
    const Quad quad = startPyramidDraws(call, kDecompositionProgram, image);
    beginBlendArithmetic(BlendArithmetic::ReverseSubtract);
    // Finest first: level L is read before the next round overwrites it.
    for (int level = 1; level <= layerCount; ++level) {
        attachRenderTarget(image, level - 1);
        drawLevel(call, quad, image, level, kBSplineSample);
    }
    call.effect().releaseProgram();
}

void collapseFrequencies(const HostCall& call, HostImage& image, int layerCount) {
    const BlendingPassGuard end(call);
    const Quad quad = startPyramidDraws(call, kDecompositionProgram, image);
    beginBlendArithmetic(BlendArithmetic::Add);
    // Coarsest first: each level is whole again before the level below adds it.
    for (int level = layerCount; level >= 1; --level) {
        attachRenderTarget(image, level - 1);
        drawLevel(call, quad, image, level, kBSplineSample);
    }
    call.effect().releaseProgram();
}

void decomposeFrequenciesInto(const HostCall& call, HostImage& source, HostImage& destination,
                              int layerCount) {
    const BlendingPassGuard end(call);
    generateMipChain(source);
    generateMipChain(destination);
    const Quad quad = startPyramidDraws(call, kDecompositionProgram, source);
    for (int k = 0; k < layerCount; ++k) {
        attachRenderTarget(destination, k);
        bindTextureUnit(GL_TEXTURE0, source.texture, true);
        glClear(GL_COLOR_BUFFER_BIT);
        drawLevel(call, quad, source, k + 1, kBSplineSample);  // up(G(k+1))
        const BlendArithmeticScope subtract(BlendArithmetic::Subtract);
        drawLevel(call, quad, source, k, kPlainSample);  // G(k) - up(G(k+1))
    }
    call.effect().releaseProgram();
}

void renderBicubicCopy(const HostCall& call, const HostImage& source, const HostImage& destination,
                       int sourceLevel, int destinationLevel, float gain, bool minAbs) {
    attachRenderTarget(destination, destinationLevel);
    const Quad quad = startPyramidDraws(call, kBicubicCopyProgram, source);
    const EffectData& effect = call.effect();
    effect.setUniform1f(effect.uniformLocation(shaders::kGainUniform), gain);
    effect.setUniform1i(effect.uniformLocation(shaders::kMinAbsUniform), minAbs ? 1 : 0);
    drawLevel(call, quad, source, sourceLevel, kBSplineSample);
}

}  // namespace Plugin
