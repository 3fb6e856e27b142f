// The effect's whole user interface, declared to the host on message 2.
#pragma once

#include <cstdint>
#include <string>

#include "plugin/host_api.h"

namespace Plugin {

// Total number of parameters the panel declares (groups not counted).
inline constexpr int kParameterCount = 963;

// Declares every parameter in panel order. Returns 1; a refused declaration throws
// PluginException and leaves the earlier declarations in place.
int32_t declareParameters(HostHandle host, HostApi* api);

// "1px", "2px", ... "512px": the spatial scale of frequency layer `layer`.
std::wstring frequencyScaleLabel(int layer);

}  // namespace Plugin
