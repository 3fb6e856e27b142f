#include "frame_pattern.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdio>
#include <system_error>

namespace ruvovav::media {
namespace {

// Undoes "%%" in the literal parts, so that they compare with real file names.
std::string unescapePercent(const std::string& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        out += text[i];
        if (text[i] == '%' && i + 1 < text.size() && text[i + 1] == '%') ++i;
    }
    return out;
}

// Parses "%d" or "%0Nd" at text[at]; returns the length of the directive, 0 if it is none.
size_t directiveAt(const std::string& text, size_t at, int& width) {
    size_t i = at + 1;
    size_t digitsBegin = i;
    while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) ++i;
    if (i >= text.size() || text[i] != 'd') return 0;
    width = 0;
    if (i > digitsBegin) {
        std::from_chars(text.data() + digitsBegin, text.data() + i, width);
        if (width > 18) return 0;
    }
    return i + 1 - at;
}

}  // namespace

std::optional<FramePattern> parseFramePattern(const std::filesystem::path& path) {
    const std::string name = path.filename().string();
    std::optional<FramePattern> found;
    for (size_t i = 0; i < name.size(); ++i) {
        if (name[i] != '%') continue;
        if (i + 1 < name.size() && name[i + 1] == '%') {
            ++i;
            continue;
        }
        int width = 0;
        size_t length = directiveAt(name, i, width);
        if (length == 0 || found) return std::nullopt;
        found = FramePattern{path.parent_path(), unescapePercent(name.substr(0, i)),
                             unescapePercent(name.substr(i + length)), width};
        i += length - 1;
    }
    return found;
}

std::filesystem::path FramePattern::fileFor(int64_t number) const {
    char digits[32];
    std::snprintf(digits, sizeof digits, "%0*lld", width, static_cast<long long>(number));
    return folder / (prefix + digits + suffix);
}

std::vector<int64_t> FramePattern::existingNumbers() const {
    std::vector<int64_t> numbers;
    std::error_code error;
    const auto dir = folder.empty() ? std::filesystem::path(".") : folder;
    for (const auto& entry : std::filesystem::directory_iterator(dir, error)) {
        const std::string name = entry.path().filename().string();
        if (name.size() <= prefix.size() + suffix.size() || !name.starts_with(prefix) ||
            !name.ends_with(suffix))
            continue;
        const std::string digits =
            name.substr(prefix.size(), name.size() - prefix.size() - suffix.size());
        int64_t number = 0;
        auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), number);
        // Same rule as FFmpeg: a padded pattern matches only numbers printed with that padding.
        if (ec != std::errc() || end != digits.data() + digits.size() || digits[0] == '-' ||
            fileFor(number).filename() != entry.path().filename())
            continue;
        numbers.push_back(number);
    }
    std::sort(numbers.begin(), numbers.end());
    return numbers;
}

}  // namespace ruvovav::media
