// The command line every benchmark program shares: our own --gl=software|hardware|auto and
// --module=PATH are taken out, the rest goes to Google Benchmark.
#pragma once

#include <string>

#include "host/egl_context.h"

namespace bench {

// The effect module the host loads: --module's, else the one built beside the benchmark.
// Another build's module times that build's passes under this benchmark's host and timing.
const std::string& modulePath();

// Parses the arguments and runs `run` with the chosen GL. Returns the process's exit code:
// 2 for a bad argument, 1 when `run` throws, else what `run` returned.
int benchmarkMain(const char* program, int argc, char** argv, int (*run)(kestrel::GlBackend));

}  // namespace bench
