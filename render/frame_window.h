// The window of source frames one render works on: the current frame and its neighbours,
// each converted to Y'UV into its own mip-mapped image.
#pragma once

#include <vector>

#include "gl/host_image.h"
#include "plugin/host_call.h"
#include "render/frame_pyramid.h"

namespace Plugin {

struct WindowRange {
    int first = 0;
    int last = 0;
    int currentIndex = 0;  // position of the current frame in the window
    int size() const { return last - first + 1; }
};

// `frames` around `current`: one more after it than before it for an even count. The window
// slides inwards at the clip's start and, unless `clampAtEnd` is false, at its end too.
WindowRange frameWindowRange(int current, int frameCount, int frames, bool clampAtEnd);

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
bool loadFrameWindow(const HostCall& call, const WindowRange& range, LoadedWindow& window);

}  // namespace Plugin
