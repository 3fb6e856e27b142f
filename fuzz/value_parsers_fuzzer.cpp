// Arbitrary text into the tool's option-value parsers. Each parser must either throw
// UsageError or return a value that keeps its documented promise; the first byte picks the
// parser, the rest is the option's text.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "cli/value_parsers.h"

namespace {

using namespace ruvovav::cli;

// A broken promise is a finding: trapping makes libFuzzer keep the input.
void require(bool condition) {
    if (!condition) __builtin_trap();
}

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// An optional minus and at least one digit: all that a whole number may be written as.
bool isWholeNumberText(const std::string& text) {
    const size_t start = !text.empty() && text[0] == '-' ? 1 : 0;
    if (start == text.size()) return false;
    for (size_t i = start; i < text.size(); ++i)
        if (!isDigit(text[i])) return false;
    return true;
}

void checkInteger(const std::string& text) {
    const int64_t value = parseInteger("--n", text);
    require(isWholeNumberText(text));
    require(value == std::strtoll(text.c_str(), nullptr, 10));
}

void checkNumber(const std::string& text) {
    const double value = parseNumber("--x", text);
    require(std::isfinite(value));
    for (char c : text)
        require(isDigit(c) || c == '.' || c == '-' || c == '+' || c == 'e' || c == 'E');
    // Both round correctly, so a text that parses at all must give the C library's value.
    require(value == std::strtod(text.c_str(), nullptr));
}

void checkBox(const std::string& text) {
    const PixelRect box = parseBox("--box", text);
    constexpr int kLimit = 1 << 30;
    require(box.width >= 1 && box.height >= 1);
    require(box.width <= kLimit && box.height <= kLimit);
    require(box.x >= -kLimit && box.x <= kLimit && box.y >= -kLimit && box.y <= kLimit);
    const std::string again = std::to_string(box.x) + "," + std::to_string(box.y) + "," +
                              std::to_string(box.width) + "," + std::to_string(box.height);
    PixelRect same;
    try {
        same = parseBox("--box", again);
    } catch (const UsageError&) {
        require(false);  // a box must read back as written
    }
    require(same.x == box.x && same.y == box.y && same.width == box.width &&
            same.height == box.height);
}

void checkRange(const std::string& text) {
    const FrameRange range = parseRange("--range", text);
    require(range.first >= 0);
    require(!range.last || *range.last > range.first);
    require(text.find(':') == text.rfind(':'));
}

void checkAssignment(const std::string& text) {
    const auto [key, value] = parseAssignment("--remove-layer", text);
    require(!key.empty() && !value.empty());
    require(key.find('=') == std::string::npos);
    require(key + "=" + value == text);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const std::string text(reinterpret_cast<const char*>(data) + 1, size - 1);
    try {
        switch (data[0] % 5) {
            case 0:
                checkInteger(text);
                break;
            case 1:
                checkNumber(text);
                break;
            case 2:
                checkBox(text);
                break;
            case 3:
                checkRange(text);
                break;
            default:
                checkAssignment(text);
                break;
        }
    } catch (const UsageError&) {
        // The one way a parser may refuse its input.
    }
    return 0;
}
