#include "gstreamer/element_properties.h"

#include <gst/gst.h>

#include <algorithm>
#include <cctype>
#include <string>
#include <vector>

#include "cli/value_parsers.h"
#include "editor_core/session_settings.h"
#include "params/parameter_ids.h"

namespace ruvovav::gst {
namespace {

constexpr const char* kOverProfile = "; applies over the profile once set";
// The tool's settings for a clip: four frames, tracked, and the effect's wavelet.
constexpr int kDefaultFrames = 4;
constexpr const char* kDefaultWavelet = "db4";

enum PropertyId : guint { kProfile = 1, kFrames, kTrack, kWavelet, kFirstNumber };

constexpr GParamFlags kFlags =
    GParamFlags(G_PARAM_READWRITE | G_PARAM_STATIC_NAME | GST_PARAM_MUTABLE_PLAYING);

// Numbers first, then the layer lists, after the fixed properties.
guint numberId(size_t index) {
    return kFirstNumber + guint(index);
}
guint layerId(size_t index) {
    return numberId(cli::numberFlags().size()) + guint(index);
}

const char* propertyName(const char* flag) {
    return flag + 2;  // "--remove-y" -> "remove-y"
}

std::string blurb(const std::string& help) {
    std::string text = help + kOverProfile;
    text[0] = char(std::toupper(static_cast<unsigned char>(text[0])));
    return text;
}

GType framesType() {
    static const GType type = [] {
        static const GEnumValue values[] = {{1, "1 frame", "1"},
                                            {2, "2 frames", "2"},
                                            {4, "4 frames", "4"},
                                            {8, "8 frames", "8"},
                                            {0, nullptr, nullptr}};
        return g_enum_register_static("GstRuvovavFrames", values);
    }();
    return type;
}

GType waveletType() {
    static const GType type = [] {
        // Registered types live as long as the process: so does this table.
        static std::vector<GEnumValue> values;
        for (const std::string& name : cli::waveletNames()) {
            values.push_back({int(values.size()), name.c_str(), name.c_str()});
        }
        values.push_back({0, nullptr, nullptr});
        return g_enum_register_static("GstRuvovavWavelet", values.data());
    }();
    return type;
}

int defaultWavelet() {
    const std::vector<std::string>& names = cli::waveletNames();
    return int(std::find(names.begin(), names.end(), kDefaultWavelet) - names.begin());
}

void installFixed(GObjectClass* klass) {
    g_object_class_install_property(
        klass, kProfile,
        g_param_spec_string("profile", "Profile",
                            "Profile saved by `ruvovav analyze --profile-out`; empty: the "
                            "tool's automatic analysis of the first frame",
                            "", kFlags));
    g_object_class_install_property(
        klass, kFrames,
        g_param_spec_enum("frames", "Frames",
                          "Frames combined over time: 1, 2, 4 or 8; applies over the profile once "
                          "set (without a profile: 4)",
                          framesType(), kDefaultFrames, kFlags));
    g_object_class_install_property(
        klass, kTrack,
        g_param_spec_boolean("track", "Track",
                             blurb("align neighbouring frames to the motion").c_str(), TRUE,
                             kFlags));
    g_object_class_install_property(
        klass, kWavelet,
        g_param_spec_enum("wavelet", "Wavelet", blurb("wavelet type").c_str(), waveletType(),
                          defaultWavelet(), kFlags));
}

}  // namespace

void installProperties(GObjectClass* klass) {
    installFixed(klass);
    const std::vector<cli::NumberFlag>& numbers = cli::numberFlags();
    for (size_t i = 0; i < numbers.size(); ++i) {
        const cli::NumberFlag& f = numbers[i];
        g_object_class_install_property(
            klass, numberId(i),
            g_param_spec_double(propertyName(f.name), propertyName(f.name), blurb(f.help).c_str(),
                                f.min, f.max, f.defaultValue, kFlags));
    }
    const std::vector<cli::LayerFlag>& layers = cli::layerFlags();
    for (size_t i = 0; i < layers.size(); ++i) {
        const cli::LayerFlag& f = layers[i];
        const std::string help = std::string(f.help).substr(0, std::string(f.help).find(';')) +
                                 ", as LAYER=VALUE,LAYER=VALUE...";
        g_object_class_install_property(
            klass, layerId(i),
            g_param_spec_string(propertyName(f.name), propertyName(f.name), blurb(help).c_str(), "",
                                kFlags));
    }
}

bool setProperty(ElementSettings& settings, guint id, const GValue* value) {
    const std::vector<cli::NumberFlag>& numbers = cli::numberFlags();
    const std::vector<cli::LayerFlag>& layers = cli::layerFlags();
    if (id == kProfile) {
        const char* text = g_value_get_string(value);
        settings.setProfile(text != nullptr ? text : "");
    } else if (id == kFrames) {
        settings.set(Plugin::ids::kNumberOfFrames,
                     editor::frameChoiceIndex(g_value_get_enum(value)));
    } else if (id == kTrack) {
        settings.set(Plugin::ids::kTrackMovement, g_value_get_boolean(value) ? 1 : 0);
    } else if (id == kWavelet) {
        settings.set(Plugin::ids::kMethod, g_value_get_enum(value));
    } else if (id >= numberId(0) && id < layerId(0)) {
        settings.set(numbers[id - numberId(0)].id, g_value_get_double(value));
    } else if (id >= layerId(0) && id < layerId(layers.size())) {
        const char* text = g_value_get_string(value);
        try {
            settings.setLayers(layers[id - layerId(0)], text != nullptr ? text : "");
        } catch (const cli::UsageError& e) {
            g_warning("ruvovav: %s; the property keeps its value", e.what());
        }
    } else {
        return false;
    }
    return true;
}

bool getProperty(const ElementSettings& settings, guint id, GValue* value) {
    const std::vector<cli::NumberFlag>& numbers = cli::numberFlags();
    const std::vector<cli::LayerFlag>& layers = cli::layerFlags();
    const auto valueOr = [&](const char* parameter, double fallback) {
        return settings.value(parameter).value_or(fallback);
    };
    if (id == kProfile) {
        g_value_set_string(value, settings.profile().c_str());
    } else if (id == kFrames) {
        const auto index = settings.value(Plugin::ids::kNumberOfFrames);
        g_value_set_enum(value, index ? 1 << int(*index) : kDefaultFrames);
    } else if (id == kTrack) {
        g_value_set_boolean(value, valueOr(Plugin::ids::kTrackMovement, 1) != 0);
    } else if (id == kWavelet) {
        g_value_set_enum(value, int(valueOr(Plugin::ids::kMethod, defaultWavelet())));
    } else if (id >= numberId(0) && id < layerId(0)) {
        const cli::NumberFlag& f = numbers[id - numberId(0)];
        g_value_set_double(value, valueOr(f.id, f.defaultValue));
    } else if (id >= layerId(0) && id < layerId(layers.size())) {
        g_value_set_string(value, settings.layers(layers[id - layerId(0)]).c_str());
    } else {
        return false;
    }
    return true;
}

}  // namespace ruvovav::gst
