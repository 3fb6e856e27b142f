#include "cli/profile.h"

#include <cmath>
#include <fstream>
#include <sstream>

#include "cli/media/temp_file.h"
#include "cli/value_parsers.h"

namespace ruvovav::cli {
namespace {

using kestrel::ParameterDeclaration;
using kestrel::ParameterKind;
using kestrel::ParameterValue;

bool hasValue(ParameterKind kind) {
    return kind != ParameterKind::Button && kind != ParameterKind::Label;
}

nlohmann::ordered_json valueJson(const ParameterDeclaration& d, const ParameterValue& v) {
    switch (d.kind) {
        case ParameterKind::Bool:
            return v.x != 0;
        case ParameterKind::Int:
        case ParameterKind::Choice:
            return int64_t(v.x);
        case ParameterKind::Point:
            return nlohmann::ordered_json::array({v.x, v.y});
        default:
            return v.x;
    }
}

[[noreturn]] void fail(const std::string& name, const std::string& what) {
    throw UsageError("profile '" + name + "': " + what);
}

double numberIn(const nlohmann::json& j, const std::string& name, const std::string& id) {
    if (!j.is_number()) fail(name, "'" + id + "' must be a number");
    return j.get<double>();
}

ParameterValue parseValue(const ParameterDeclaration& d, const nlohmann::json& j,
                          const std::string& name) {
    switch (d.kind) {
        case ParameterKind::Bool:
            if (!j.is_boolean()) fail(name, "'" + d.id + "' must be true or false");
            return {j.get<bool>() ? 1.0 : 0.0, 0};
        case ParameterKind::Point:
            if (!j.is_array() || j.size() != 2) fail(name, "'" + d.id + "' must be [x, y]");
            return {numberIn(j[0], name, d.id), numberIn(j[1], name, d.id)};
        case ParameterKind::Choice: {
            const double index = numberIn(j, name, d.id);
            // Range first: converting a number past int64's range to test wholeness is undefined.
            if (!(index >= 0 && index < double(d.entries.size())) || index != std::floor(index)) {
                fail(name, "'" + d.id + "' must be an entry index from 0 to " +
                               std::to_string(d.entries.size() - 1));
            }
            return {index, 0};
        }
        default: {
            const double v = numberIn(j, name, d.id);
            // The host stores integers as whole numbers, and the profile is saved that way.
            if (d.kind == ParameterKind::Int && v != std::floor(v))
                fail(name, "'" + d.id + "' must be a whole number");
            if (v < d.min || v > d.max) {
                std::ostringstream what;
                what << "'" << d.id << "' is " << v << ", outside " << d.min << " to " << d.max;
                fail(name, what.str());
            }
            return {v, 0};
        }
    }
}

}  // namespace

nlohmann::ordered_json makeProfile(const kestrel::ParameterStore& store,
                                   const nlohmann::ordered_json& metadata) {
    nlohmann::ordered_json profile =
        metadata.is_object() ? metadata : nlohmann::ordered_json::object();
    nlohmann::ordered_json parameters = nlohmann::ordered_json::object();
    for (const ParameterDeclaration& d : store.declarations()) {
        if (hasValue(d.kind)) parameters[d.id] = valueJson(d, store.value(d.id, 0));
    }
    profile["parameters"] = std::move(parameters);
    return profile;
}

void saveProfile(const std::filesystem::path& file, const nlohmann::ordered_json& profile,
                 bool overwrite) {
    std::error_code error;
    if (!overwrite && std::filesystem::exists(file, error)) {
        throw UsageError("'" + file.string() + "' exists (use -y to overwrite)");
    }
    // Written beside the target and renamed, so a failure never leaves half a profile.
    const std::string text = profile.dump(2) + "\n";
    media::TempFile partial(file);
    partial.writeAll(text.data(), text.size());
    partial.commit(overwrite);
}

std::vector<ParameterSetting> parseProfile(const std::string& text, const std::string& name,
                                           const kestrel::ParameterStore& declared) {
    const nlohmann::json profile = nlohmann::json::parse(text, nullptr, false);
    if (profile.is_discarded()) fail(name, "not valid JSON");
    if (!profile.is_object() || !profile.contains("parameters") ||
        !profile["parameters"].is_object()) {
        fail(name, "no \"parameters\" object");
    }
    std::vector<ParameterSetting> settings;
    for (const auto& [id, value] : profile["parameters"].items()) {
        const ParameterDeclaration* d = declared.find(id);
        if (d == nullptr) fail(name, "unknown parameter '" + id + "'");
        if (!hasValue(d->kind)) fail(name, "'" + id + "' has no value to set");
        settings.push_back({id, parseValue(*d, value, name)});
    }
    return settings;
}

std::vector<ParameterSetting> loadProfile(const std::filesystem::path& file,
                                          const kestrel::ParameterStore& declared) {
    std::ifstream in(file, std::ios::binary);
    if (!in) throw UsageError("cannot read profile '" + file.string() + "'");
    std::ostringstream text;
    text << in.rdbuf();
    return parseProfile(text.str(), file.string(), declared);
}

}  // namespace ruvovav::cli
