// The render (message 10): the current frame and its neighbours converted to Y'UV, split
// into frequency layers, combined across time, every layer with thresholds shrunk, and the
// current frame rebuilt into the host's destination; or one of the diagnostic views.
#pragma once

#include <cstdint>

#include "gl/host_call.h"

namespace Plugin {

// Returns 1 on every path, an abandoned render included. Every image it makes goes back to
// the host before it returns.
// GL: ends with the destination attached at level 0 with its viewport, blending off, all
// colour writes on, the source on unit 0 (nearest, clamp-to-edge, base level 0) and no
// program in use. The analysis-box path restores only the source binding and the program.
int32_t renderEffect(const HostCall& call);

}  // namespace Plugin
