#include "params/parameter_declarer.h"

#include "params/plugin_exception.h"
#include "params/text_format.h"

namespace Plugin {
namespace {

void check(int32_t hostResult) {
    if (hostResult != 0) throw PluginException(kPluginError);
}

}  // namespace

void ParameterDeclarer::beginGroup(const std::wstring& label) {
    check(api_->BeginParameterGroup(host_, label.c_str()));
}

void ParameterDeclarer::endGroup() {
    check(api_->EndParameterGroup(host_));
}

void ParameterDeclarer::floatSlider(const std::wstring& label, const std::string& id,
                                    const FloatSlider& s) {
    check(api_->DeclareFloatParameter(host_, label.c_str(), s.unit, id.c_str(), s.flags, s.min,
                                      s.max, s.def, s.precision));
}

void ParameterDeclarer::intSlider(const std::wstring& label, const std::string& id, int32_t flags,
                                  int32_t min, int32_t max, int32_t def) {
    check(api_->DeclareIntParameter(host_, label.c_str(), L"", id.c_str(), flags, min, max, def));
}

void ParameterDeclarer::checkbox(const std::wstring& label, const std::string& id, int32_t flags,
                                 bool def) {
    check(api_->DeclareBoolParameter(host_, label.c_str(), id.c_str(), flags, def));
}

void ParameterDeclarer::choice(const std::wstring& label, const std::string& id, int32_t flags,
                               const ChoiceList& list) {
    const std::wstring entries = joinWide(list.entries, L'|');
    check(api_->DeclareChoiceParameter(host_, label.c_str(), id.c_str(), flags, entries.c_str(),
                                       list.values.data(), list.defaultIndex));
}

void ParameterDeclarer::point(const std::wstring& label, const std::string& id, int32_t flags,
                              double x, double y) {
    check(api_->DeclarePointParameter(host_, label.c_str(), id.c_str(), flags, x, y));
}

void ParameterDeclarer::button(const std::wstring& label, const std::string& id, int32_t flags) {
    check(api_->DeclareButtonParameter(host_, label.c_str(), id.c_str(), flags));
}

void ParameterDeclarer::textLabel(const std::wstring& label, const std::string& id, int32_t flags,
                                  const std::wstring& text) {
    check(api_->DeclareLabelParameter(host_, label.c_str(), id.c_str(), flags, text.c_str()));
}

}  // namespace Plugin
