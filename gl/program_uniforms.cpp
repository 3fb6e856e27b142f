#include "gl/program_uniforms.h"

#include "shaders/standard_programs.h"

namespace Plugin {

void setVertexMatrices(const HostCall& call) {
    const EffectData& effect = call.effect();
    const RenderContext& rc = *call.renderContext();
    effect.setUniformMatrix(effect.uniformLocation(shaders::kProjectionUniform), 4, 1, false,
                            rc.projection);
    effect.setUniformMatrix(effect.uniformLocation(shaders::kModelViewUniform), 4, 1, false,
                            rc.modelView);
}

void setSourceSamplerUnit0(const HostCall& call) {
    const EffectData& effect = call.effect();
    effect.setUniform1i(effect.uniformLocation(shaders::kSourceUniform), 0);
}

}  // namespace Plugin
