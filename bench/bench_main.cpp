#include "bench/bench_main.h"

#include <benchmark/benchmark.h>

#include <exception>
#include <iostream>
#include <string>

namespace bench {
namespace {

kestrel::GlBackend takeGlFlag(int& argc, char** argv) {
    kestrel::GlBackend backend = kestrel::GlBackend::Automatic;
    int kept = 1;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg.rfind("--gl=", 0) == 0) {
            backend = kestrel::parseGlBackend(arg.substr(5));
        } else {
            argv[kept++] = argv[i];
        }
    }
    argc = kept;
    argv[argc] = nullptr;
    return backend;
}

}  // namespace

int benchmarkMain(const char* program, int argc, char** argv, int (*run)(kestrel::GlBackend)) {
    kestrel::GlBackend backend = kestrel::GlBackend::Automatic;
    try {
        backend = takeGlFlag(argc, argv);
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
