#include "gstreamer/element_settings.h"

#include <sstream>

#include "cli/value_parsers.h"

namespace ruvovav::gst {
namespace {

constexpr int kLayerCount = 10;

std::vector<std::string> splitAtCommas(const std::string& text) {
    std::vector<std::string> pieces;
    std::istringstream in(text);
    for (std::string piece; std::getline(in, piece, ',');) pieces.push_back(piece);
    return pieces;
}

}  // namespace

std::vector<cli::ParameterSetting> parseLayers(const cli::LayerFlag& flag,
                                               const std::string& text) {
    const std::string option = std::string(flag.name).substr(2);  // as the property is named
    std::vector<cli::ParameterSetting> settings;
    for (const std::string& piece : splitAtCommas(text)) {
        const auto [layerText, valueText] = cli::parseAssignment(option, piece);
        const int64_t layer = cli::parseInteger(option, layerText);
        if (layer < 0 || layer >= kLayerCount) {
            throw cli::UsageError(option + ": layer " + layerText + " is outside 0 to 9");
        }
        const double value = cli::parseNumber(option, valueText);
        if (value < flag.min || value > flag.max) {
            std::ostringstream range;
            range << option << ": " << valueText << " is outside " << flag.min << " to "
                  << flag.max;
            throw cli::UsageError(range.str());
        }
        settings.push_back({"Frequency:L" + std::to_string(layer) + flag.suffix, {value, 0}});
    }
    return settings;
}

void ElementSettings::setProfile(const std::string& path) {
    const std::lock_guard lock(mutex_);
    profile_ = path;
}

std::string ElementSettings::profile() const {
    const std::lock_guard lock(mutex_);
    return profile_;
}

void ElementSettings::set(const std::string& id, double value) {
    const std::lock_guard lock(mutex_);
    values_[id] = value;
}

std::optional<double> ElementSettings::value(const std::string& id) const {
    const std::lock_guard lock(mutex_);
    const auto found = values_.find(id);
    if (found == values_.end()) return std::nullopt;
    return found->second;
}

void ElementSettings::setLayers(const cli::LayerFlag& flag, const std::string& text) {
    Layers parsed{text, parseLayers(flag, text)};  // before the lock: it may throw
    const std::lock_guard lock(mutex_);
    layers_[flag.name] = std::move(parsed);
}

std::string ElementSettings::layers(const cli::LayerFlag& flag) const {
    const std::lock_guard lock(mutex_);
    const auto found = layers_.find(flag.name);
    return found != layers_.end() ? found->second.text : std::string();
}

SettingsSnapshot ElementSettings::snapshot() const {
    const std::lock_guard lock(mutex_);
    SettingsSnapshot s{profile_, {}};
    for (const auto& [id, value] : values_) s.settings.push_back({id, {value, 0}});
    for (const auto& [name, list] : layers_) {
        s.settings.insert(s.settings.end(), list.settings.begin(), list.settings.end());
    }
    return s;
}

}  // namespace ruvovav::gst
