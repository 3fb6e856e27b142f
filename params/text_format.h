// Small text helpers for building parameter identifiers and labels.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace Plugin {

// Decimal text of a 32-bit integer, minus sign first for negative values.
std::string toDecimal(int32_t value);
std::wstring toWideDecimal(int32_t value);

// Concatenates the parts with one separator between neighbours ("1|2|4|8").
std::wstring joinWide(const std::vector<std::wstring>& parts, wchar_t separator);

}  // namespace Plugin
