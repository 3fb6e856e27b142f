// Parsers of the tool's structured option values. Each throws UsageError with one line
// that names the option and what was wrong, so that bad input never reaches the effect.
#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>

namespace ruvovav::cli {

struct UsageError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// A box in image pixels with a top-left origin.
struct PixelRect {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
};

// Frames first..last-1; `last` absent means to the end of the clip.
struct FrameRange {
    int64_t first = 0;
    std::optional<int64_t> last;
};

// A whole decimal number, nothing else around it (no "3x", no "1e3", no spaces).
int64_t parseInteger(const std::string& option, const std::string& text);
// A finite decimal number.
double parseNumber(const std::string& option, const std::string& text);
// "X,Y,W,H", all whole numbers, W and H at least 1.
PixelRect parseBox(const std::string& option, const std::string& text);
// "A:B" with 0 <= A < B, or "A:" to the end.
FrameRange parseRange(const std::string& option, const std::string& text);
// "KEY=VALUE" split at the first '='; both parts non-empty.
std::pair<std::string, std::string> parseAssignment(const std::string& option,
                                                    const std::string& text);

}  // namespace ruvovav::cli
