#include "editor_core/session_settings.h"

#include <algorithm>

#include "cli/profile.h"
#include "params/parameter_ids.h"

namespace ruvovav::editor {
namespace {

constexpr const char* kLayerRemovalPrefix = "Frequency:L";
constexpr const char* kRemovalSuffix = ":NoiseRemoval";
constexpr int kLayers = 10;

bool isRemoval(const std::string& id) {
    return id.ends_with(kRemovalSuffix);
}

// The removal amounts: the per-channel ones and one per frequency layer.
std::vector<std::string> removalIds() {
    std::vector<std::string> ids;
    for (const cli::NumberFlag& flag : cli::numberFlags()) {
        if (isRemoval(flag.id)) ids.push_back(flag.id);
    }
    for (int layer = 0; layer < kLayers; ++layer) {
        ids.push_back(kLayerRemovalPrefix + std::to_string(layer) + kRemovalSuffix);
    }
    return ids;
}

cli::ParameterSetting adjusted(const cli::ParameterSetting& s, const EditorSettings& editor,
                               const kestrel::ParameterStore& declared) {
    cli::ParameterSetting out = s;
    if (s.id == Plugin::ids::kNumberOfFrames && frameChoiceIndex(editor.frames) >= 0) {
        out.value.x = frameChoiceIndex(editor.frames);
    } else if (s.id == Plugin::ids::kTrackMovement && editor.tracking) {
        out.value.x = *editor.tracking ? 1 : 0;
    } else if (isRemoval(s.id) && editor.strength > 0) {
        const kestrel::ParameterDeclaration* d = declared.find(s.id);
        const double max = d != nullptr ? d->max : s.value.x;
        out.value.x = std::clamp(s.value.x * editor.strength, 0.0, max);
    }
    return out;
}

}  // namespace

int frameChoiceIndex(int frames) {
    return Plugin::rules::choiceOfFrames(frames);
}

StartedSettings startSettings(kestrel::ParameterStore& store, const std::string& profile) {
    cli::applySettings(store, cli::clipDefaults());
    if (!profile.empty()) cli::applySettings(store, cli::loadProfile(profile, store));
    StartedSettings started;
    std::vector<std::string> ids = {Plugin::ids::kNumberOfFrames, Plugin::ids::kTrackMovement};
    for (std::string& id : removalIds()) ids.push_back(std::move(id));
    for (const std::string& id : ids) started.adjustable.push_back({id, store.value(id, 0)});
    started.frames = store.choiceValue(Plugin::ids::kNumberOfFrames, 0);
    started.analysed = !profile.empty();
    return started;
}

std::vector<cli::ParameterSetting> adjustedSettings(const StartedSettings& started,
                                                    const EditorSettings& editor,
                                                    const kestrel::ParameterStore& declared) {
    std::vector<cli::ParameterSetting> out;
    for (const cli::ParameterSetting& s : started.adjustable) {
        out.push_back(adjusted(s, editor, declared));
    }
    return out;
}

int windowFrames(const StartedSettings& started, const EditorSettings& editor) {
    return frameChoiceIndex(editor.frames) >= 0 ? editor.frames : started.frames;
}

}  // namespace ruvovav::editor
