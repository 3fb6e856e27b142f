#include "tests/glsl_strict.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string_view>
#include <system_error>

namespace test {

namespace {

constexpr char kValidator[] = "glslangValidator";

// The first line, without its newline; empty when the text has no second line.
std::string_view firstLine(const std::string& source) {
    const size_t end = source.find('\n');
    return end == std::string::npos ? std::string_view() : std::string_view(source).substr(0, end);
}

bool isDesktopVersion(std::string_view line) {
    return line == "#version 410" || line == "#version 410 core";
}

bool validatorInstalled() {
    const char* path = std::getenv("PATH");
    std::stringstream directories(path != nullptr ? path : "");
    std::string directory;
    while (std::getline(directories, directory, ':')) {
        if (directory.empty()) continue;
        const std::string candidate = directory + "/" + kValidator;
        if (access(candidate.c_str(), X_OK) == 0) return true;
    }
    return false;
}

// The ES header replaces the version line; #line keeps the validator's line numbers those
// of the original text.
std::string asEsSource(const std::string& source) {
    return "#version 300 es\nprecision highp float;\nprecision highp int;\n#line 2" +
           source.substr(firstLine(source).size());
}

// A private directory, so parallel test processes never share a file.
struct TemporaryDirectory {
    std::filesystem::path path;
    TemporaryDirectory() {
        std::string pattern = (std::filesystem::temp_directory_path() / "glsl_strict.XXXXXX");
        if (mkdtemp(pattern.data()) != nullptr) path = pattern;
    }
    ~TemporaryDirectory() {
        std::error_code ignored;
        if (!path.empty()) std::filesystem::remove_all(path, ignored);
    }
};

struct ValidatorRun {
    int status = -1;
    std::string output;
};

ValidatorRun runValidator(const std::filesystem::path& file) {
    ValidatorRun run;
    const std::string command = std::string(kValidator) + " '" + file.string() + "' 2>&1";
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) {
        run.output = std::string("popen failed: ") + std::strerror(errno);
        return run;
    }
    char buffer[4096];
    size_t got = 0;
    while ((got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) run.output.append(buffer, got);
    const int waited = pclose(pipe);
    run.status = (waited != -1 && WIFEXITED(waited)) ? WEXITSTATUS(waited) : -1;
    return run;
}

}  // namespace

::testing::AssertionResult compilesAsStrictGlsl(const std::string& source, const char* stage) {
    const std::string kind = stage != nullptr ? stage : "";
    if (kind != "vert" && kind != "frag") {
        return ::testing::AssertionFailure()
               << "stage must be \"vert\" or \"frag\", not \"" << kind << "\"";
    }
    if (!isDesktopVersion(firstLine(source))) {
        return ::testing::AssertionFailure() << "the first line is not \"#version 410\"";
    }
    if (source.find("#extension") != std::string::npos) {
        return ::testing::AssertionFailure() << "the text enables an extension (#extension)";
    }
    if (!validatorInstalled()) {
        return ::testing::AssertionFailure()
               << kValidator << " not found on PATH: install the Debian package glslang-tools "
               << "(scripts/install-deps.sh)";
    }

    const TemporaryDirectory directory;
    if (directory.path.empty()) {
        return ::testing::AssertionFailure() << "cannot make a temporary directory";
    }
    const std::filesystem::path file = directory.path / ("shader." + kind);
    {
        std::ofstream out(file);
        out << asEsSource(source);
        if (!out) return ::testing::AssertionFailure() << "cannot write " << file;
    }
    const ValidatorRun run = runValidator(file);
    if (run.status != 0) {
        return ::testing::AssertionFailure()
               << kValidator << " rejected the " << kind << " text as strict GLSL (exit "
               << run.status << "):\n"
               << run.output;
    }
    return ::testing::AssertionSuccess();
}

}  // namespace test
