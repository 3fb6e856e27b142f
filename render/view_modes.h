// The diagnostic pictures the render can show instead of the result: the analysis box over
// the source frame, and one frequency layer of the current frame.
#pragma once

#include "gl/host_call.h"
#include "render/frame_pyramid.h"
#include "render/render_settings.h"

namespace Plugin {

// The source frame, darkened to half outside the analysis box, drawn into whatever the host
// has bound. GL: ends with the source on unit 0 (nearest) and no program in use.
void renderAnalysisBox(const HostCall& call, const BoxCorners& box);

// Layer `layer` of the pyramid, times "frequencyContrast", lifted by 0.5, into the
// destination. "Frequency Y", "Frequency U" and "Frequency V" each show their own plane as
// grey. GL: leaves the destination attached; every image it makes is given back.
void renderFrequencyView(const HostCall& call, const FramePyramid& pyramid, int layer,
                         int viewOption, float contrast);

}  // namespace Plugin
