#include "gl/gpu_setup.h"

#include <GL/glew.h>

#include <iostream>

#include "gl/attribute_names.h"
#include "gl/effect_data.h"
#include "plugin/denoise_instance.h"
#include "shaders/standard_programs.h"

namespace Plugin {
namespace {

// "glCopy" is shared by every copy pass; a repeated set-up does not make it twice.
void createClearAndCopyPrograms(EffectData& effect, bool printLog) {
    if (effect.programId("glCopy") >= 0) return;
    effect.addLinkedProgram(shaders::kStandardVertex, shaders::kCopyFragment, printLog, "glCopy",
                            true);
}

// "singleColor" has no texture coordinate, so it binds its one input by hand.
void createDenoisePrograms(EffectData& effect, bool printLog) {
    effect.addProgram(shaders::kPositionOnlyVertex, shaders::kSingleColourFragment, printLog,
                      "singleColor");
    effect.bindAttribute("singleColor", gl::kPositionLocation, gl::kPositionAttribute);
    effect.linkProgram("singleColor", printLog);
}

}  // namespace

void initialiseGlEntryPoints() {
    glewExperimental = GL_TRUE;  // core profiles hide extension strings GLEW would rely on
    glewInit();
}

int32_t setUpGpu(HostHandle, HostApi* api) {
    const bool printLog = api->diagnosticsFlag != 0;
    if (printLog) std::cout << "Ruvovav Plugin" << std::endl;
    EffectData* effect = instanceOf(api);
    if (effect == nullptr) return 1;  // a host that skipped message 0 gets nothing built
    createClearAndCopyPrograms(*effect, printLog);
    createDenoisePrograms(*effect, printLog);
    return 1;
}

}  // namespace Plugin
