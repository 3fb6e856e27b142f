// The effect's parameters in an editor: the tool's defaults for a clip, then a profile,
// then the few settings an editor adapter offers on top.
//
// An adapter's settings are each "as the profile says" when unset: a window length, the
// tracking switch, and a strength that scales every removal amount.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "cli/effect_settings.h"
#include "host/parameter_store.h"

namespace ruvovav::editor {

struct EditorSettings {
    std::string profile;           // a profile saved by `ruvovav analyze`; empty: analyse
    int frames = 0;                // 1, 2, 4 or 8; anything else: as the profile says
    std::optional<bool> tracking;  // none: as the profile says
    double strength = 0;           // removal amounts times this; 0: as the profile says
    bool operator==(const EditorSettings&) const = default;
};

// What a session starts with, before the adapter's settings.
struct StartedSettings {
    std::vector<cli::ParameterSetting> adjustable;  // window, tracking, removal amounts
    int frames = 1;                                 // the window the profile asks for
    bool analysed = false;                          // the profile brought thresholds
};

// Writes the tool's clip defaults and then the profile (none for an empty path) into the
// store. Throws cli::UsageError naming the file and the problem.
StartedSettings startSettings(kestrel::ParameterStore& store, const std::string& profile);

// The adjustable values with the adapter's settings applied, each inside its range.
std::vector<cli::ParameterSetting> adjustedSettings(const StartedSettings& started,
                                                    const EditorSettings& editor,
                                                    const kestrel::ParameterStore& declared);

// The window length the render uses: the adapter's, else the profile's.
int windowFrames(const StartedSettings& started, const EditorSettings& editor);

// Entry index of "numberOfFrames" for 1, 2, 4 or 8 frames; -1 for any other count.
int frameChoiceIndex(int frames);

}  // namespace ruvovav::editor
