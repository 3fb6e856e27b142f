// The noise analysis behind "Analyze": the analysis box of the current frame is split into
// frequency layers, each layer is wavelet-decomposed on the GPU, and the coefficients are
// measured on the CPU into one threshold per layer, level, sub-band and channel, plus the
// box's mean colour.
#pragma once

#include "gl/host_call.h"
#include "params/analysis_result.h"
#include "render/render_settings.h"

namespace Plugin {

// Measures the box `settings` names with its wavelet. Fills `result` (one LayerThresholds per
// analysed layer, each padded to 10 entries, and the mean Y'UV of the box). Does nothing without a
// valid render context. An empty box, one wholly outside the frame, a frame the host cannot deliver
// or an image it refuses leave `result` reset to no layers (resetAnalysisResult's mean). A box 1
// pixel wide or high gets no layers and the mean of its own pixels. GL: every image it makes is
// given back; ends with the host's bindings restored.
void analyzeNoise(const HostCall& call, const AnalysisSettings& settings, AnalysisResult& result);

}  // namespace Plugin
