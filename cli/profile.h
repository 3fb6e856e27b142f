// Analysis profiles: every parameter value of the effect saved as JSON, so that one analysis
// serves a whole batch of clips.
//
// The file is an object whose member "parameters" maps each parameter identifier to its
// value as the host stores it: a number for floats and integers (percentages as declared),
// true or false for checkboxes, the entry index for choices, [x, y] for points. Buttons and
// labels have no value and are left out. Other members describe where the profile came from.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "cli/effect_settings.h"
#include "host/parameter_store.h"

namespace ruvovav::cli {

// Every stored parameter value, in declaration order, under "parameters", with `metadata`'s
// members beside it.
nlohmann::ordered_json makeProfile(const kestrel::ParameterStore& store,
                                   const nlohmann::ordered_json& metadata);

// Writes the profile; refuses an existing file unless `overwrite`. Throws UsageError.
void saveProfile(const std::filesystem::path& file, const nlohmann::ordered_json& profile,
                 bool overwrite);

// The settings a profile holds, checked against the declared parameters: the file must
// parse, and each member must name a declared parameter with a value of its kind inside its
// range. Throws UsageError naming the file and the first problem.
std::vector<ParameterSetting> loadProfile(const std::filesystem::path& file,
                                          const kestrel::ParameterStore& declared);
// The same from text already read (the file name only labels the messages).
std::vector<ParameterSetting> parseProfile(const std::string& text, const std::string& name,
                                           const kestrel::ParameterStore& declared);

}  // namespace ruvovav::cli
