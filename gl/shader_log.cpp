#include "gl/shader_log.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <string_view>

namespace Plugin::gl {
namespace {

// Compares byte by byte instead of building an upper-cased copy, so flushing from a
// destructor can never fail on allocation.
bool containsUpperCased(const std::string& text, std::string_view upperWord) noexcept {
    if (text.size() < upperWord.size()) {
        return false;
    }
    auto sameLetter = [](char byte, char upper) {
        return std::toupper(static_cast<unsigned char>(byte)) == static_cast<unsigned char>(upper);
    };
    return std::search(text.begin(), text.end(), upperWord.begin(), upperWord.end(), sameLetter) !=
           text.end();
}

bool worthPrinting(const std::string& text) noexcept {
    return containsUpperCased(text, "WARNING") || containsUpperCased(text, "ERROR");
}

}  // namespace

void ShaderLog::append(const std::string& infoLog) {
    if (infoLog.empty()) {
        return;
    }
    if (!text.empty()) {
        text += '\n';
    }
    text += infoLog;
}

void ShaderLog::flush() noexcept {
    if (enabled && !text.empty() && worthPrinting(text)) {
        std::fwrite(text.data(), 1, text.size(), stdout);
        std::fflush(stdout);
    }
    std::string().swap(text);
}

}  // namespace Plugin::gl
