#include "denoise/wavelet_transform.h"

#include <GL/glew.h>

#include "denoise/wavelet_filters.h"
#include "gl/host_image.h"
#include "gl/program_uniforms.h"
#include "gl/render_target.h"
#include "gl/standard_passes.h"
#include "shaders/wavelet_uniforms.h"

namespace Plugin {
namespace {

// The analysis of `levels` levels into the chain's output, after an optional padding
// pass into the first target.
void analyse(const HostCall& call, PassChain& chain, HostImage& input, int level, int levels,
             bool pad, const Wavelet& wavelet) {
    if (pad) {
        padImage(call, input, *chain.currentTarget(), level, 0, kPadCopy);
        chain.advance();
    } else if (levels > 0) {
        chain.startOnScratch();  // 2 x levels passes then end in the output: no final copy
    }
    if (levels > 0) decomposeWavelet(call, chain, levels, wavelet);
    chain.finish();
}

}  // namespace

void prepareWaveletPasses(const HostCall& call, PassChain& chain, const char* program) {
    call.effect().bindProgram(program);
    setVertexMatrices(call);
    setSourceSamplerUnit0(call);
    chain.rebind();
}

void drawWaveletPass(const HostCall& call, PassChain& chain, WaveletDirection direction,
                     float scale, PassArea area) {
    const EffectData& effect = call.effect();
    // Every tap must read one stored coefficient exactly.
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    const HostImage& source = *chain.currentSource();
    const Quad& quad = chain.quad();
    effect.setUniform1i(effect.uniformLocation(shaders::kDirectionUniform), int(direction));
    effect.setUniform2f(effect.uniformLocation(shaders::kSizeUniform), float(source.textureWidth),
                        float(source.textureHeight));
    effect.setUniform2f(effect.uniformLocation(shaders::kBoundUniform), scale * quad[14],
                        scale * quad[15]);
    {
        const HostImage& target = *chain.currentTarget();
        const float drawn = area == PassArea::WholeTarget ? 1.0f : scale;
        const ScissorGuard region(activeExtent(target.width, drawn),
                                  activeExtent(target.height, drawn));
        drawQuad(call, quad);
    }
    glFlush();
    chain.advance();
}

int waveletLevelCount(int width) {
    int levels = 0;
    while (levels < kMaxWaveletLevels && (1 << levels) < width) ++levels;
    return levels;
}

int paddedWaveletSize(int size, int levels) {
    // Each set low bit is cleared and carried one place up, which rounds up to a multiple
    // of 2^levels.
    for (int bit = 0; bit < levels; ++bit) {
        if (size & (1 << bit)) size = (size & ~(1 << bit)) + (1 << (bit + 1));
    }
    return size;
}

void decomposeWavelet(const HostCall& call, PassChain& chain, int levels, const Wavelet& wavelet) {
    prepareWaveletPasses(call, chain, wavelet.names.decomposition);
    float scale = 1.0f;
    for (int l = 0; l < levels; ++l) {
        drawWaveletPass(call, chain, WaveletDirection::Horizontal, scale);
        drawWaveletPass(call, chain, WaveletDirection::Vertical, scale);
        scale *= 0.5f;
    }
}

void reconstructWavelet(const HostCall& call, PassChain& chain, int levels,
                        const Wavelet& wavelet) {
    prepareWaveletPasses(call, chain, wavelet.names.reconstruction);
    float scale = 1.0f;
    for (int l = 1; l < levels; ++l) scale *= 0.5f;
    PassArea area = chain.sourceIsDrawnAgain() ? PassArea::ActiveRegion : PassArea::WholeTarget;
    for (int l = 0; l < levels; ++l) {
        drawWaveletPass(call, chain, WaveletDirection::Vertical, scale, area);
        drawWaveletPass(call, chain, WaveletDirection::Horizontal, scale, area);
        area = PassArea::ActiveRegion;
        scale *= 2.0f;
    }
}

void forwardTransform(const HostCall& call, HostImage& input, HostImage& output, int level,
                      const Wavelet& wavelet) {
    const int levels = waveletLevelCount(input.width);
    PassChain chain(call, &input, &output, false);
    const bool levelSized =
        output.width == input.width >> level && output.height == input.height >> level;
    analyse(call, chain, input, level, levels, !levelSized || level > 0, wavelet);
}

HostImage analysisForwardTransform(const HostCall& call, HostImage& input, int level,
                                   const Wavelet& wavelet) {
    const int levels = waveletLevelCount(input.width);
    const int width = paddedWaveletSize(input.width >> level, levels);
    const int height = paddedWaveletSize(input.height >> level, levels);
    // Leased until returned, so a failure making the scratch gives the output back.
    HostImageLease output(call, makeImage(call, width, height, GL_RGBA16F));
    {
        PassChain chain(call, &input, &output.image(),
                        makeImage(call, output->width, output->height, output->internalFormat));
        const bool levelSized = width == input.width >> level && height == input.height >> level;
        analyse(call, chain, input, level, levels, !levelSized || level > 0, wavelet);
    }
    return output.release();
}

}  // namespace Plugin
