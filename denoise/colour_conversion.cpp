#include "denoise/colour_conversion.h"

#include <GL/glew.h>

#include "gl/quad_draw.h"
#include "gl/render_target.h"
#include "shaders/standard_programs.h"

namespace Plugin {
namespace {

// The conversions draw the unit square whatever the render size, so they bring their own
// matrices instead of the host's.
void setUnitSquareMatrices(const EffectData& effect) {
    float projection[16];
    orthographicMatrix(projection, 0.0f, 1.0f, 0.0f, 1.0f, -1.0f, 1.0f);
    float identity[16] = {};
    identity[0] = identity[5] = identity[10] = identity[15] = 1.0f;
    effect.setUniformMatrix(effect.uniformLocation(shaders::kProjectionUniform), 4, 1, false,
                            projection);
    effect.setUniformMatrix(effect.uniformLocation(shaders::kModelViewUniform), 4, 1, false,
                            identity);
}

void convert(const HostCall& call, const char* program, const HostImage& src,
             const HostImage& dst) {
    const HostBindingsGuard restore(call);
    const EffectData& effect = call.effect();
    effect.bindProgram(program);
    glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, dst.texture, 0);
    glViewport(0, 0, dst.width, dst.height);
    setUnitSquareMatrices(effect);
    bindTextureUnit(GL_TEXTURE0, src.texture, true);
    // The conversion is per texel. Linear filtering at texel centres is exact on GPUs, but
    // a CPU rasteriser's interpolated coordinates land a hair off centre and blend in a
    // trace of the neighbours, which would break alpha's bit-exact passage.
    setUnitNearest(GL_TEXTURE0, true);
    drawQuad(call, fillQuad(src, 1, 1));
    effect.releaseProgram();
}

}  // namespace

void orthographicMatrix(float* m, float left, float right, float bottom, float top, float near,
                        float far) {
    for (int i = 0; i < 16; ++i) m[i] = 0.0f;
    m[0] = 2.0f / (right - left);
    m[5] = 2.0f / (top - bottom);
    m[10] = -2.0f / (far - near);
    m[12] = -(right + left) / (right - left);
    m[13] = -(top + bottom) / (top - bottom);
    m[14] = -(far + near) / (far - near);
    m[15] = 1.0f;
}

void renderRGBToYUV(const HostCall& call, const HostImage& src, const HostImage& dst) {
    convert(call, "RGBToYUV", src, dst);
}

void renderYUVToRGB(const HostCall& call, const HostImage& src, const HostImage& dst) {
    convert(call, "YUVToRGB", src, dst);
}

}  // namespace Plugin
