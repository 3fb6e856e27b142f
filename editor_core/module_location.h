// Where an editor adapter finds the effect module.
//
// `cmake --install` puts the module (Ruvovav.kspl) in the same folder as the adapter's
// shared object, and the build tree mirrors that, so the adapter looks beside itself.
// RUVOVAV_MODULE names another module file, for a module kept elsewhere.
#pragma once

#include <filesystem>

namespace ruvovav::editor {

inline constexpr const char* kModuleVariable = "RUVOVAV_MODULE";
inline constexpr const char* kModuleFileName = "Ruvovav.kspl";

// RUVOVAV_MODULE when set and not empty, else Ruvovav.kspl beside the shared object (or
// executable) this code was linked into.
std::filesystem::path effectModulePath();

// The file this code was linked into, found through the dynamic loader.
std::filesystem::path ownBinaryPath();

}  // namespace ruvovav::editor
