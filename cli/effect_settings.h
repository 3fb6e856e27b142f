// The effect's user-facing settings as command-line flags, grouped as the effect's panel
// groups them, with the effect's own ranges and defaults. Values are the parameter
// values as the host stores them: percentages as declared, a choice as its entry index.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "host/parameter_store.h"

namespace CLI {
class App;
}

namespace ruvovav::cli {

struct ParameterSetting {
    std::string id;
    kestrel::ParameterValue value;
};

// A flag that sets one float parameter.
struct NumberFlag {
    const char* name;   // "--remove-y"
    const char* id;     // "Channel:Y:NoiseRemoval"
    const char* group;  // panel group in --help
    double min;
    double max;
    double defaultValue;
    const char* help;
};

// A repeatable flag LAYER=VALUE setting one of the ten per-layer parameters
// ("Frequency:L<layer><suffix>").
struct LayerFlag {
    const char* name;
    const char* suffix;  // ":NoiseRemoval"
    const char* group;
    double min;
    double max;
    double defaultValue;
    const char* help;
};

const std::vector<NumberFlag>& numberFlags();
const std::vector<LayerFlag>& layerFlags();
// The wavelet names of "method", in the order of its entries.
const std::vector<std::string>& waveletNames();

// Collects the settings given on the command line, in the order given.
class EffectSettings {
public:
    EffectSettings() = default;
    // The flags' callbacks write into the list this object reads: a copy would read another.
    EffectSettings(const EffectSettings&) = delete;
    EffectSettings& operator=(const EffectSettings&) = delete;

    // Declares every settings flag on `app`. The flags' callbacks share the list with this
    // object, so either may go first.
    void addOptions(CLI::App& app);
    const std::vector<ParameterSetting>& settings() const { return *settings_; }
    // As if given on the command line, for jobs that pick their own settings.
    void add(std::string id, double value) { settings_->push_back({std::move(id), {value, 0}}); }

private:
    std::shared_ptr<std::vector<ParameterSetting>> settings_ =
        std::make_shared<std::vector<ParameterSetting>>();
};

// What the tool sets for an input of more than one frame before any profile or flag: the
// effect's own defaults are for a single frame, and waste what a clip can give.
std::vector<ParameterSetting> clipDefaults();

// Writes every setting into the store at time 0, outside undo.
void applySettings(kestrel::ParameterStore& store, const std::vector<ParameterSetting>& settings);

}  // namespace ruvovav::cli
