// The element's settings, as its properties set them from any thread, and the snapshot a
// frame is rendered with.
//
// The tool's settings flags become properties with the same names, ranges and defaults, and
// like a flag given on the command line a property applies over the profile only once it is
// set. The layer lists take the tool's LAYER=VALUE form, comma-separated.
#pragma once

#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "cli/effect_settings.h"

namespace ruvovav::gst {

// The settings one frame is rendered with.
struct SettingsSnapshot {
    std::string profile;
    std::vector<cli::ParameterSetting> settings;  // every parameter set, over the profile
};

class ElementSettings {
public:
    void setProfile(const std::string& path);
    std::string profile() const;
    // Sets parameter `id` (a choice as its entry index) from now on.
    void set(const std::string& id, double value);
    // The value set for `id`, if one was.
    std::optional<double> value(const std::string& id) const;
    // Sets the layers `text` lists ("0=50,3=80") for `flag`, in place of those listed before.
    // Throws cli::UsageError, keeping the previous list, when the text is malformed or a value
    // lies outside the flag's range.
    void setLayers(const cli::LayerFlag& flag, const std::string& text);
    std::string layers(const cli::LayerFlag& flag) const;

    SettingsSnapshot snapshot() const;

private:
    mutable std::mutex mutex_;
    std::string profile_;
    std::map<std::string, double> values_;
    struct Layers {
        std::string text;
        std::vector<cli::ParameterSetting> settings;
    };
    std::map<std::string, Layers> layers_;  // by the flag's name
};

// The settings a layer list gives; throws cli::UsageError.
std::vector<cli::ParameterSetting> parseLayers(const cli::LayerFlag& flag, const std::string& text);

}  // namespace ruvovav::gst
