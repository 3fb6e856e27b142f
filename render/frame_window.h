// The window of source frames one render works on: the current frame and its neighbours,
// each converted to Y'UV into its own mip-mapped image.
#pragma once

#include <vector>

#include "gl/host_call.h"
#include "gl/host_image.h"
#include "params/effect_rules.h"
#include "render/frame_pyramid.h"

namespace Plugin {

// Whether this host's window runs past the clip's end unclamped: one other editor that
// serves frames beyond the end expects it.
bool hostKeepsWindowPastTheEnd(const HostCall& call);

// The window's images, in time order, and their leases. Images go back to the host when
// the window is destroyed, whatever happened in between.
struct LoadedWindow {
    FrameWindow frames;
    std::vector<HostImageLease> leases;
};

// Fetches and converts every frame of the range. A neighbour the host cannot deliver is
// replaced by the current frame, with a line on standard output, unless the host asks to
// stop: then it returns false and the caller abandons the render.
// GL: ends with the host's bindings restored.
bool loadFrameWindow(const HostCall& call, const rules::WindowRange& range, LoadedWindow& window);

}  // namespace Plugin
