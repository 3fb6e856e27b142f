// The per-instance state of the effect: exactly the program registry. Everything else that
// must outlive a call (thresholds, analysis box, multipliers) lives in host parameters.
#pragma once

#include "gl/effect_data.h"
#include "plugin/host_api.h"

namespace Plugin {

using DenoiseInstance = EffectData;

inline DenoiseInstance* instanceOf(const HostApi* api) {
    return static_cast<DenoiseInstance*>(api->instanceData);
}

}  // namespace Plugin
