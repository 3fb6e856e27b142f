// Message 7: one parameter changed or one button was pressed. Runs the analyses the
// buttons ask for and keeps the panel's availability and the frequency label in step.
#pragma once

#include <cstdint>

#include "gl/host_call.h"

namespace Plugin {

// The identifier comes from the call's arguments; a call without one changes nothing.
// Returns 1. An exception from the noise analysis passes to the caller.
int32_t parameterChanged(const HostCall& call);

}  // namespace Plugin
