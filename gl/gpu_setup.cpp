#include "gl/gpu_setup.h"

#include <GL/glew.h>

#include <iostream>

#include "gl/attribute_names.h"
#include "gl/denoise_instance.h"
#include "gl/effect_data.h"

namespace Plugin {
namespace {

// A program with only a position input is bound by hand: the linked form would also ask
// for a texture coordinate it does not have.
void addPositionOnlyProgram(EffectData& effect, const ProgramSource& program, bool printLog) {
    effect.addProgram(program.vertexSource, program.fragmentSource, printLog, program.name);
    effect.bindAttribute(program.name, gl::kPositionLocation, gl::kPositionAttribute);
    effect.linkProgram(program.name, printLog);
}

void addProgram(EffectData& effect, const ProgramSource& program, bool printLog) {
    if (program.onlyWhenAbsent && effect.programId(program.name) >= 0) return;
    if (program.vertex == VertexStage::PositionOnly) {
        addPositionOnlyProgram(effect, program, printLog);
        return;
    }
    effect.addLinkedProgram(program.vertexSource, program.fragmentSource, printLog, program.name,
                            true);
}

}  // namespace

void initialiseGlEntryPoints() {
    glewExperimental = GL_TRUE;  // core profiles hide extension strings GLEW would rely on
    glewInit();
}

int32_t setUpGpu(HostHandle, HostApi* api, const std::vector<ProgramSource>& programs) {
    const bool printLog = api->diagnosticsFlag != 0;
    if (printLog) std::cout << "Ruvovav Plugin" << std::endl;
    EffectData* effect = instanceOf(api);
    if (effect == nullptr) return 1;  // a host that skipped message 0 gets nothing built
    for (const ProgramSource& program : programs) addProgram(*effect, program, printLog);
    return 1;
}

}  // namespace Plugin
