// Declares parameters through the host's table and stops at the first refusal.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "plugin/host_api.h"

namespace Plugin {

// Flags travel to the host unchanged; the plug-in gives them no meaning of its own.
inline constexpr int32_t kFlags0 = 0;
inline constexpr int32_t kFlags2 = 2;
inline constexpr int32_t kFlags3 = 3;

struct FloatSlider {
    const wchar_t* unit = L"";  // "%" or empty
    int32_t flags = kFlags3;
    float min = 0.0f;
    float max = 100.0f;
    float def = 0.0f;
    int32_t precision = 1;  // decimals shown by the host
};

struct ChoiceList {
    std::vector<std::wstring> entries;
    std::vector<int32_t> values;  // may hold more values than entries; the host reads one each
    int32_t defaultIndex = 0;
};

// Every method throws PluginException("Plugin Error") when the host answers non-zero, so
// nothing is declared after a refusal.
class ParameterDeclarer {
public:
    ParameterDeclarer(HostHandle host, const HostApi* api) : host_(host), api_(api) {}

    void beginGroup(const std::wstring& label);
    void endGroup();
    void floatSlider(const std::wstring& label, const std::string& id, const FloatSlider& s);
    void intSlider(const std::wstring& label, const std::string& id, int32_t flags, int32_t min,
                   int32_t max, int32_t def);
    void checkbox(const std::wstring& label, const std::string& id, int32_t flags, bool def);
    void choice(const std::wstring& label, const std::string& id, int32_t flags,
                const ChoiceList& list);
    void point(const std::wstring& label, const std::string& id, int32_t flags, double x, double y);
    void button(const std::wstring& label, const std::string& id, int32_t flags);
    void textLabel(const std::wstring& label, const std::string& id, int32_t flags,
                   const std::wstring& text);

private:
    HostHandle host_;
    const HostApi* api_;
};

}  // namespace Plugin
