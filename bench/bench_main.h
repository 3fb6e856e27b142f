// The command line every benchmark program shares: our own --gl=software|hardware|auto is
// taken out, the rest goes to Google Benchmark.
#pragma once

#include "host/egl_context.h"

namespace bench {

// Parses the arguments and runs `run` with the chosen GL. Returns the process's exit code:
// 2 for a bad argument, 1 when `run` throws, else what `run` returned.
int benchmarkMain(const char* program, int argc, char** argv, int (*run)(kestrel::GlBackend));

}  // namespace bench
