// Messages 13 and 14: the user set one brightness multiplier by hand. That band becomes an
// anchor and the bands between it and the neighbouring anchors are re-interpolated.
#pragma once

#include <cstdint>

#include "gl/host_call.h"

namespace Plugin {

// Acts only when the call's identifier is a whole "Brightness:<digits>:ThreasholdMult";
// every other identifier is ignored. `noUndo` (message 13) writes outside any undo group;
// otherwise the writes form one "Threshold Brightness" step. Returns 1.
// Throws std::out_of_range when the digits do not fit 32 bits.
int32_t brightnessEdited(const HostCall& call, bool noUndo);

}  // namespace Plugin
