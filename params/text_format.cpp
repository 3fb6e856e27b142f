#include "params/text_format.h"

namespace Plugin {
namespace {

// Digits are produced from the magnitude as an unsigned 64-bit value so that INT32_MIN,
// whose magnitude has no 32-bit signed form, formats correctly.
template <typename Char>
std::basic_string<Char> decimal(int32_t value) {
    const bool negative = value < 0;
    uint64_t magnitude = negative ? uint64_t(-int64_t(value)) : uint64_t(value);
    std::basic_string<Char> digits;
    do {
        digits.insert(digits.begin(), Char('0' + magnitude % 10));
        magnitude /= 10;
    } while (magnitude != 0);
    if (negative) digits.insert(digits.begin(), Char('-'));
    return digits;
}

}  // namespace

std::string toDecimal(int32_t value) {
    return decimal<char>(value);
}
std::wstring toWideDecimal(int32_t value) {
    return decimal<wchar_t>(value);
}

std::wstring joinWide(const std::vector<std::wstring>& parts, wchar_t separator) {
    std::wstring joined;
    for (size_t i = 0; i < parts.size(); ++i) {
        if (i != 0) joined += separator;
        joined += parts[i];
    }
    return joined;
}

}  // namespace Plugin
