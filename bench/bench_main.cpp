#include "bench/bench_main.h"

#include <benchmark/benchmark.h>

#include <exception>
#include <iostream>
#include <string>

namespace bench {
namespace {

std::string gModulePath = RUVOVAV_MODULE_PATH;

// Takes out --gl=... and --module=...; what is left goes to Google Benchmark.
kestrel::GlBackend takeOwnFlags(int& argc, char** argv) {
    kestrel::GlBackend backend = kestrel::GlBackend::Automatic;
    int kept = 1;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg.rfind("--gl=", 0) == 0) {
            backend = kestrel::parseGlBackend(arg.substr(5));
        } else if (arg.rfind("--module=", 0) == 0) {
            gModulePath = arg.substr(9);
        } else {
            argv[kept++] = argv[i];
        }
    }
    argc = kept;
    argv[argc] = nullptr;
    return backend;
}

}  // namespace

const std::string& modulePath() {
    return gModulePath;
}

int benchmarkMain(const char* program, int argc, char** argv, int (*run)(kestrel::GlBackend)) {
    kestrel::GlBackend backend = kestrel::GlBackend::Automatic;
    try {
        backend = takeOwnFlags(argc, argv);
    } catch (const std::exception& e) {
        std::cerr << program << ": --gl: " << e.what() << '\n';
        return 2;
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 2;
    try {
        return run(backend);
    } catch (const std::exception& e) {
        std::cerr << program << ": " << e.what() << '\n';
        return 1;
    }
}

}  // namespace bench
