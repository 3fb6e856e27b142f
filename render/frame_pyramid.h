// One frame of the render window in Y'UV: a half-float RGBA host image with a full mip
// chain. After the frequency decomposition, mip level k holds frequency layer k and the
// level after the last layer holds the low-pass residual.
#pragma once

#include <vector>

#include "plugin/host_api.h"

namespace Plugin {

struct FramePyramid {
    HostImage image{};
};

// The frames of one render, current frame first or in time order as each stage says.
using FrameWindow = std::vector<FramePyramid>;

}  // namespace Plugin
