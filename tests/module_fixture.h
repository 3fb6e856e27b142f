// Loads the built effect module once per test binary, as the editor does at start-up.
#pragma once

#include "host/plugin_module.h"

namespace testing_support {

inline const kestrel::PluginModule& loadedModule() {
    static const kestrel::PluginModule module(RUVOVAV_MODULE_PATH);
    return module;
}

}  // namespace testing_support
