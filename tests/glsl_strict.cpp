#include "tests/glsl_strict.h"

#include <stdlib.h>
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

namespace test {

::testing::AssertionResult compilesAsStrictGlsl(const std::string& source, const char* stage) {
    const std::string kind = stage != nullptr ? stage : "";
    if (kind != "vert" && kind != "frag") {
        return ::testing::AssertionFailure() << "stage must be \"vert\" or \"frag\"";
    }
    const size_t firstLineEnd = source.find('\n');
    const std::string firstLine = source.substr(0, firstLineEnd);
    if (firstLineEnd == std::string::npos ||
        (firstLine != "#version 410" && firstLine != "#version 410 core")) {
        return ::testing::AssertionFailure() << "the first line is not \"#version 410\"";
    }
    if (source.find("#extension") != std::string::npos) {
        return ::testing::AssertionFailure() << "the text enables an extension (#extension)";
    }

    // A private directory, so parallel test processes never share a file.
    std::string directory = std::filesystem::temp_directory_path() / "glsl_strict.XXXXXX";
    if (mkdtemp(directory.data()) == nullptr) {
        return ::testing::AssertionFailure() << "cannot make a temporary directory";
    }
    const std::string file = directory + "/shader." + kind;
    // The ES header replaces the version line; #line keeps the validator's line numbers
    // those of the original text.
    std::ofstream(file) << "#version 300 es\nprecision highp float;\nprecision highp int;\n"
                        << "#line 2" << source.substr(firstLineEnd);
    std::string output;
    int status = -1;
    if (FILE* pipe = popen(("glslangValidator '" + file + "' 2>&1").c_str(), "r")) {
        char buffer[4096];
        for (size_t got; (got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
            output.append(buffer, got);
        const int waited = pclose(pipe);
        status = waited != -1 && WIFEXITED(waited) ? WEXITSTATUS(waited) : -1;
    }
    std::filesystem::remove_all(directory);
    if (status == 127) {  // the shell found no such command
        return ::testing::AssertionFailure()
               << "glslangValidator not found on PATH: install the Debian package "
                  "glslang-tools (scripts/install-deps.sh)";
    }
    if (status != 0) {
        return ::testing::AssertionFailure() << "glslangValidator rejected the " << kind
                                             << " text as strict GLSL (exit " << status << "):\n"
                                             << output;
    }
    return ::testing::AssertionSuccess();
}

}  // namespace test
