// GPU set-up on message 8: load the GL entry points, then build the instance's programs.
#pragma once

#include <cstdint>
#include <vector>

#include "gl/program_source.h"
#include "plugin/host_api.h"

namespace Plugin {

// Loads the GL entry points for the context the host made current. The loader's result
// is not examined: on a context it does not fully recognise it still loads what exists.
void initialiseGlEntryPoints();

// Registers `programs`, in order, under their names. Prints "Ruvovav Plugin" first when the
// host asks for diagnostics. Throws FXGLSLexception when a program fails to build; the
// programs made before it stay registered. Returns 1.
// GL: creates programs and shaders; leaves no program bound.
int32_t setUpGpu(HostHandle host, HostApi* api, const std::vector<ProgramSource>& programs);

}  // namespace Plugin
