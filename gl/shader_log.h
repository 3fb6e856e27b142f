// Collects the driver's compile and link diagnostics for one framework operation.
//
// Each operation keeps one on its stack and never stores it. Flushing is the destructor's
// job so the diagnostics still reach the user when a compile or link error unwinds the
// operation. Only logs that mention a warning or an error are printed: drivers often
// report chatter for shaders that are fine.
#pragma once

#include <string>

namespace Plugin::gl {

class ShaderLog {
public:
    explicit ShaderLog(bool printEnabled) noexcept : enabled(printEnabled) {}
    ~ShaderLog() { flush(); }

    ShaderLog(const ShaderLog&) = delete;
    ShaderLog& operator=(const ShaderLog&) = delete;

    // Adds a non-empty info log, on its own line after any earlier one.
    void append(const std::string& infoLog);

    // Prints the text to stdout, unchanged, when enabled and it mentions "warning" or
    // "error" in any case; always empties the text and releases its storage.
    void flush() noexcept;

    std::string text;
    bool enabled;
};

}  // namespace Plugin::gl
