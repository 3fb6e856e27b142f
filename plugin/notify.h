// Message dispatch behind the exported Notify.
#pragma once

#include <cstdint>

#include "plugin/host_api.h"

namespace Plugin {

// Returns 1 when handled, 2 when the code has no handler (or destroying the instance
// failed), 5 when a handler failed with any exception.
// Thread-safety: called on the host's thread only; holds no state of its own.
int32_t notify(HostHandle host, HostApi* api, int32_t message);

}  // namespace Plugin
