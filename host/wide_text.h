// Conversions between the module's wide texts (UTF-32 on Linux) and the host's UTF-8.
#pragma once

#include <string>
#include <vector>

namespace kestrel {

std::string toUtf8(const std::wstring& text);
std::vector<std::wstring> splitWide(const std::wstring& text, wchar_t separator);

}  // namespace kestrel
