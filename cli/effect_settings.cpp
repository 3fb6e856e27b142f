#include "cli/effect_settings.h"

#include <CLI/CLI.hpp>

#include <cmath>
#include <sstream>

#include "cli/value_parsers.h"
#include "params/parameter_ids.h"

namespace ruvovav::cli {
namespace {

constexpr const char* kFramesGroup = "Frames";
constexpr const char* kThresholdGroup = "Threshold";
constexpr const char* kRemovalGroup = "Removal Amount";
constexpr int kLayerCount = 10;

std::string rangeText(double min, double max, double defaultValue) {
    std::ostringstream text;
    text << " [" << min << " to " << max << ", default " << defaultValue << "]";
    return text.str();
}

double checkedNumber(const std::string& option, const std::string& text, double min, double max) {
    const double v = parseNumber(option, text);
    if (v < min || v > max) {
        std::ostringstream range;
        range << option << ": " << text << " is outside " << min << " to " << max;
        throw UsageError(range.str());
    }
    return v;
}

int frameChoiceIndex(const std::string& text) {
    const int64_t frames = parseInteger("--frames", text);
    if (frames >= 1 && frames <= 8) {
        const int index = Plugin::rules::choiceOfFrames(int(frames));
        if (index >= 0) return index;
    }
    throw UsageError("--frames: '" + text + "' is not one of 1, 2, 4, 8");
}

int waveletIndex(const std::string& text) {
    const std::vector<std::string>& names = waveletNames();
    for (size_t i = 0; i < names.size(); ++i) {
        if (names[i] == text) return int(i);
    }
    throw UsageError("--wavelet: '" + text + "' is not one of haar, db4, db8, db16, sym16");
}

}  // namespace

const std::vector<NumberFlag>& numberFlags() {
    static const std::vector<NumberFlag> flags = {
        {"--threshold-y", "Channel:Y:ThreasholdMult", kThresholdGroup, 0, 500, 100,
         "multiplier of the Y thresholds (%)"},
        {"--threshold-u", "Channel:U:ThreasholdMult", kThresholdGroup, 0, 500, 100,
         "multiplier of the U thresholds (%)"},
        {"--threshold-v", "Channel:V:ThreasholdMult", kThresholdGroup, 0, 500, 100,
         "multiplier of the V thresholds (%)"},
        {"--keep-edges", "keepEdges", kThresholdGroup, 0, 1000, 100,
         "protection of strong edges from the thresholds"},
        {"--soft", "softThresholding", kThresholdGroup, 0, 100, 0,
         "soft thresholding: 0 cuts hard, 100 shrinks smoothly"},
        {"--remove-y", "Channel:Y:NoiseRemoval", kRemovalGroup, 0, 100, 80,
         "share of the Y noise removed (%)"},
        {"--remove-u", "Channel:U:NoiseRemoval", kRemovalGroup, 0, 100, 100,
         "share of the U noise removed (%)"},
        {"--remove-v", "Channel:V:NoiseRemoval", kRemovalGroup, 0, 100, 100,
         "share of the V noise removed (%)"},
    };
    return flags;
}

const std::vector<LayerFlag>& layerFlags() {
    static const std::vector<LayerFlag> flags = {
        {"--threshold-layer", ":ThreasholdMult", kThresholdGroup, 0, 500, 100,
         "multiplier of one frequency layer's thresholds (layer 0 = 1px "
         "detail ... 9 = 512px); repeatable"},
        {"--remove-layer", ":NoiseRemoval", kRemovalGroup, 0, 100, 100,
         "share of one frequency layer's noise removed; repeatable"},
    };
    return flags;
}

const std::vector<std::string>& waveletNames() {
    static const std::vector<std::string> names = {"haar", "db4", "db8", "db16", "sym16"};
    return names;
}

std::vector<ParameterSetting> clipDefaults() {
    // Four frames, aligned: several times the removal a single frame allows, at about four
    // times the render time; "--frames 1" keeps the speed.
    return {{Plugin::ids::kNumberOfFrames, {double(Plugin::rules::choiceOfFrames(4)), 0}},
            {Plugin::ids::kTrackMovement, {1, 0}}};
}

void EffectSettings::addOptions(CLI::App& app) {
    auto push = [settings = settings_](std::string id, double x) {
        settings->push_back({std::move(id), {x, 0}});
    };
    app.add_option_function<std::string>(
           "--frames",
           [push](const std::string& v) {
               push(Plugin::ids::kNumberOfFrames, frameChoiceIndex(v));
           },
           "frames combined over time: 1, 2, 4 or 8 [default 4 for a clip, 1 for a single image]")
        ->type_name("N")
        ->group(kFramesGroup);
    app.add_flag_callback(
           "--track", [push] { push(Plugin::ids::kTrackMovement, 1); },
           "align neighbouring frames to the motion [default]")
        ->group(kFramesGroup);
    app.add_flag_callback(
           "--no-track", [push] { push(Plugin::ids::kTrackMovement, 0); },
           "combine neighbouring frames as they are")
        ->group(kFramesGroup);
    app.add_option_function<std::string>(
           "--wavelet",
           [push](const std::string& v) { push(Plugin::ids::kMethod, waveletIndex(v)); },
           "wavelet type: haar, db4, db8, db16, sym16 [default db4]")
        ->type_name("NAME")
        ->group("Wavelet type");
    for (const NumberFlag& f : numberFlags()) {
        app.add_option_function<std::string>(
               f.name,
               [push, f](const std::string& v) {
                   push(f.id, checkedNumber(f.name, v, f.min, f.max));
               },
               f.help + rangeText(f.min, f.max, f.defaultValue))
            ->type_name("VALUE")
            ->group(f.group);
    }
    for (const LayerFlag& f : layerFlags()) {
        app.add_option_function<std::vector<std::string>>(
               f.name,
               [push, f](const std::vector<std::string>& values) {
                   for (const std::string& v : values) {
                       const auto [layerText, valueText] = parseAssignment(f.name, v);
                       const int64_t layer = parseInteger(f.name, layerText);
                       if (layer < 0 || layer >= kLayerCount) {
                           throw UsageError(std::string(f.name) + ": layer " + layerText +
                                            " is outside 0 to 9");
                       }
                       push("Frequency:L" + std::to_string(layer) + f.suffix,
                            checkedNumber(f.name, valueText, f.min, f.max));
                   }
               },
               f.help + rangeText(f.min, f.max, f.defaultValue))
            ->type_name("LAYER=VALUE")
            ->group(f.group)
            ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
    }
}

void applySettings(kestrel::ParameterStore& store, const std::vector<ParameterSetting>& settings) {
    for (const ParameterSetting& s : settings) store.set(s.id, 0, s.value, 0);
}

}  // namespace ruvovav::cli
