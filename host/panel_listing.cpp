#include "host/panel_listing.h"

#include <cstdio>
#include <string>

#include "host/wide_text.h"

namespace kestrel {
namespace {

std::string number(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", value);
    return text;
}

// Joins text by appending every piece to one string. GCC 12 reports a false -Wrestrict
// inside `"text" + std::string&&` (it inserts at the front of the temporary), which would
// fail a -Werror build; appending never takes that path.
template <typename... Pieces>
std::string concat(const Pieces&... pieces) {
    std::string text;
    (text.append(pieces), ...);
    return text;
}

std::string joinEntries(const std::vector<std::wstring>& entries) {
    std::string joined;
    for (size_t i = 0; i < entries.size(); ++i) {
        if (i > 0) joined += " | ";
        joined += toUtf8(entries[i]);
    }
    return joined;
}

std::string describeValue(const ParameterDeclaration& d) {
    const std::string unit = d.unit.empty() ? std::string() : concat(" ", toUtf8(d.unit));
    const ParameterValue& v = d.defaultValue;
    switch (d.kind) {
        case ParameterKind::Float:
            return concat("float ", number(d.min), "..", number(d.max), unit, ", default ",
                          number(v.x), ", precision ", std::to_string(d.precision));
        case ParameterKind::Int:
            return concat("int ", number(d.min), "..", number(d.max), unit, ", default ",
                          number(v.x));
        case ParameterKind::Bool:
            return concat("checkbox, default ", v.x != 0.0 ? "on" : "off");
        case ParameterKind::Choice: {
            const auto index = size_t(v.x);
            const std::string def = index < d.entries.size() ? toUtf8(d.entries[index]) : "?";
            return concat("choice ", joinEntries(d.entries), ", default ", def);
        }
        case ParameterKind::Point:
            return concat("point, default (", number(v.x), ", ", number(v.y), ")");
        case ParameterKind::Button:
            return "button";
        case ParameterKind::Label:
            return concat("text \"", toUtf8(d.text), "\"");
    }
    return "";
}

// Prints the headings of the groups `path` opens beyond the common prefix with `previous`.
void printGroupChange(std::ostream& out, const std::vector<std::wstring>& previous,
                      const std::vector<std::wstring>& path) {
    size_t common = 0;
    while (common < previous.size() && common < path.size() && previous[common] == path[common])
        ++common;
    for (size_t depth = common; depth < path.size(); ++depth) {
        out << std::string(2 * (depth + 1), ' ') << toUtf8(path[depth]) << "\n";
    }
}

}  // namespace

std::string describeParameter(const ParameterDeclaration& d) {
    const std::string flags = d.flags != 0 ? concat("  flags ", std::to_string(d.flags)) : "";
    return concat(toUtf8(d.label), "  [", describeValue(d), "]  ", d.id, flags);
}

void printDescriptor(std::ostream& out, const ModuleDescriptor& d) {
    out << toUtf8(d.displayName) << "\n";
    out << "  category:   " << toUtf8(d.category) << "\n";
    out << "  vendor:     " << toUtf8(d.vendor) << "\n";
    out << "  identifier: " << d.identifier << "\n";
    out << "  notice:     " << toUtf8(d.legalNotice) << "\n";
}

void printPanel(std::ostream& out, const ParameterStore& parameters) {
    out << "Parameters (" << parameters.size() << ")\n";
    std::vector<std::wstring> previous;
    for (const ParameterDeclaration& d : parameters.declarations()) {
        printGroupChange(out, previous, d.groupPath);
        previous = d.groupPath;
        out << std::string(2 * (d.groupPath.size() + 1), ' ') << describeParameter(d) << "\n";
    }
}

}  // namespace kestrel
