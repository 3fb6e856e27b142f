// Alignment of a neighbouring frame to the current one ("Track Movement"), called by the
// render for every neighbour of the window before the frequency split.
#pragma once

#include "plugin/host_call.h"
#include "render/frame_pyramid.h"

namespace Plugin {

// The mip level at which motion is measured.
inline constexpr int kAlignmentLevel = 3;

// Warps `frame` so that it lines up with `reference`. Motion measurement is not built yet:
// until it is, the frame is left as it is, so "Track Movement" renders as if it were off.
void alignFrame(const HostCall& call, const FramePyramid& reference, FramePyramid& frame,
                int level);

}  // namespace Plugin
