#include "denoise/noise_removal.h"

#include <GL/glew.h>

#include "gl/program_uniforms.h"
#include "gl/quad_draw.h"
#include "gl/render_target.h"
#include "shaders/noise_removal_program.h"

namespace Plugin {
namespace {

using Vec3 = plugin_glsl_types::genVec3<float>;

constexpr int kBands = 3;  // HH, LH, HL

void setVec3(const EffectData& effect, const char* name, const Vec3& v) {
    effect.setUniform3f(effect.uniformLocation(name), v.x, v.y, v.z);
}

void setBrightnessMultipliers(const EffectData& effect, const NoiseRemovalSettings& s) {
    const auto& m = s.brightnessMultipliers;
    effect.setUniform4f(effect.uniformLocation(shaders::kMultiplierUniforms[0]), m[0], m[1], m[2],
                        m[3]);
    effect.setUniform4f(effect.uniformLocation(shaders::kMultiplierUniforms[1]), m[4], m[5], m[6],
                        m[7]);
    effect.setUniform3f(effect.uniformLocation(shaders::kMultiplierUniforms[2]), m[8], m[9], m[10]);
}

// Units 1 and 2 carry the estimate and the brightness image, filtered linearly; the
// brightness is read at its own mip level.
void bindSideImages(const EffectData& effect, const HostImage& brightness, int brightnessLevel,
                    const HostImage& estimate) {
    effect.setUniform1i(effect.uniformLocation(shaders::kEstimateUniform), 1);
    effect.setUniform1i(effect.uniformLocation(shaders::kBrightnessUniform), 2);
    bindTextureUnit(GL_TEXTURE2, brightness.texture, true);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_BASE_LEVEL, brightnessLevel);
    bindTextureUnit(GL_TEXTURE1, estimate.texture, true);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_BASE_LEVEL, 0);
    effect.setUniform2f(effect.uniformLocation(shaders::kImageSizeUniform),
                        float(estimate.textureWidth), float(estimate.textureHeight));
}

void setLevelThresholds(const EffectData& effect, const NoiseRemovalSettings& s, int level) {
    const float h = s.halfSoftness;
    for (int band = 0; band < kBands; ++band) {
        const Vec3& t = s.thresholds[size_t(band)][size_t(level - 1)];
        setVec3(effect, shaders::kBandLowUniforms[band],
                {t.x * (1 - h), t.y * (1 - h), t.z * (1 - h)});
        setVec3(effect, shaders::kBandHighUniforms[band],
                {t.x * (1 + h), t.y * (1 + h), t.z * (1 + h)});
    }
}

void drawBox(const HostCall& call, const Quad& quad, int x, int y, int width, int height) {
    const ScissorGuard box(x, y, width, height);
    drawQuad(call, quad);
}

// Only what the level's program writes: its lower-left region (`scale` of the target) on
// the first pass, without the coarser levels' quarter on later ones (two boxes: the right
// half, and the upper left quarter), where the program would discard every fragment.
void drawLevelRegion(const HostCall& call, PassChain& chain, float scale, bool first) {
    const HostImage& target = *chain.currentTarget();
    const int w = activeExtent(target.width, scale);
    const int h = activeExtent(target.height, scale);
    if (first) {
        drawBox(call, chain.quad(), 0, 0, w, h);
        return;
    }
    const int innerW = activeExtent(target.width, scale * 0.5f);
    const int innerH = activeExtent(target.height, scale * 0.5f);
    drawBox(call, chain.quad(), innerW, 0, w - innerW, h);
    drawBox(call, chain.quad(), 0, innerH, innerW, h - innerH);
}

void releaseSideImages() {
    glActiveTexture(GL_TEXTURE2);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_BASE_LEVEL, 0);
    unbindTextureUnit(GL_TEXTURE2, true);
    unbindTextureUnit(GL_TEXTURE1, true);
}

}  // namespace

void renderNoiseRemoval(const HostCall& call, PassChain& chain, const HostImage& brightness,
                        int brightnessLevel, const HostImage& estimate, int levels,
                        const NoiseRemovalSettings& settings, const Vec3& removal) {
    const EffectData& effect = call.effect();
    effect.bindProgram("noiseRemoval");
    setVertexMatrices(call);
    setSourceSamplerUnit0(call);
    bindSideImages(effect, brightness, brightnessLevel, estimate);
    chain.rebind();
    const HostImage& coefficients = *chain.currentSource();
    for (int pass = 0; pass < levels; ++pass) {
        const int level = levels - pass;  // coarsest first
        const float extent = float(1 << (levels - 1 - pass));
        setBrightnessMultipliers(effect, settings);
        effect.setUniform1i(effect.uniformLocation(shaders::kPassIndexUniform), pass);
        effect.setUniform2f(effect.uniformLocation(shaders::kLevelExtentUniform),
                            coefficients.uMax / extent, coefficients.vMax / extent);
        setLevelThresholds(effect, settings, level);
        setVec3(effect, shaders::kRemovalUniform, removal);
        drawLevelRegion(call, chain, 1.0f / extent, pass == 0);
        glFlush();
    }
    releaseSideImages();
    chain.advance();
}

}  // namespace Plugin
