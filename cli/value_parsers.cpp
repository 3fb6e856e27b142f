#include "cli/value_parsers.h"

#include <charconv>
#include <cmath>
#include <vector>

namespace ruvovav::cli {
namespace {

[[noreturn]] void fail(const std::string& option, const std::string& text, const char* what) {
    throw UsageError(option + ": '" + text + "' is not " + what);
}

std::vector<std::string> splitAt(const std::string& text, char separator) {
    std::vector<std::string> parts;
    size_t start = 0;
    for (size_t i = 0; i <= text.size(); ++i) {
        if (i == text.size() || text[i] == separator) {
            parts.push_back(text.substr(start, i - start));
            start = i + 1;
        }
    }
    return parts;
}

}  // namespace

int64_t parseInteger(const std::string& option, const std::string& text) {
    int64_t value = 0;
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value);
    if (text.empty() || error != std::errc() || stop != end) fail(option, text, "a whole number");
    return value;
}

double parseNumber(const std::string& option, const std::string& text) {
    double value = 0;
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value);
    if (text.empty() || error != std::errc() || stop != end || !std::isfinite(value)) {
        fail(option, text, "a number");
    }
    return value;
}

PixelRect parseBox(const std::string& option, const std::string& text) {
    const std::vector<std::string> parts = splitAt(text, ',');
    if (parts.size() != 4) fail(option, text, "a box X,Y,W,H");
    int64_t v[4];
    for (int i = 0; i < 4; ++i) {
        int64_t n = 0;
        const char* end = parts[size_t(i)].data() + parts[size_t(i)].size();
        const auto [stop, error] = std::from_chars(parts[size_t(i)].data(), end, n);
        if (parts[size_t(i)].empty() || error != std::errc() || stop != end) {
            fail(option, text, "a box X,Y,W,H of whole numbers");
        }
        if (n < -(int64_t(1) << 30) || n > (int64_t(1) << 30))
            fail(option, text, "a box of sane size");
        v[i] = n;
    }
    if (v[2] < 1 || v[3] < 1) fail(option, text, "a box with a width and a height of at least 1");
    return {int(v[0]), int(v[1]), int(v[2]), int(v[3])};
}

FrameRange parseRange(const std::string& option, const std::string& text) {
    const std::vector<std::string> parts = splitAt(text, ':');
    if (parts.size() != 2 || parts[0].empty()) fail(option, text, "a frame range A:B");
    FrameRange range;
    range.first = parseInteger(option, parts[0]);
    if (!parts[1].empty()) range.last = parseInteger(option, parts[1]);
    if (range.first < 0 || (range.last && *range.last <= range.first)) {
        fail(option, text, "a frame range A:B with 0 <= A < B");
    }
    return range;
}

std::pair<std::string, std::string> parseAssignment(const std::string& option,
                                                    const std::string& text) {
    const size_t at = text.find('=');
    if (at == std::string::npos || at == 0 || at + 1 == text.size()) {
        fail(option, text, "of the form KEY=VALUE");
    }
    return {text.substr(0, at), text.substr(at + 1)};
}

}  // namespace ruvovav::cli
