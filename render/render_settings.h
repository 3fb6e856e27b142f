// Everything one render reads from the host's parameters, read once before the first pass.
// The passes below take these values as arguments and never read a parameter themselves,
// so a render sees one consistent set of settings, and a pass can be driven without a
// parameter store.
#pragma once

#include <vector>

#include "denoise/noise_removal.h"
#include "denoise/wavelet_filters.h"
#include "gl/host_call.h"
#include "image/texture_data.h"

namespace Plugin {

// The corners of "Analysis Box" as stored: pixels from the frame's centre.
struct BoxCorners {
    double x1 = 0.0, y1 = 0.0, x2 = 0.0, y2 = 0.0;
};

// What the shrinkage of one frequency layer uses.
struct LayerSettings {
    bool shrink = false;                          // false when the layer has no thresholds at all
    plugin_glsl_types::genVec3<float> removal{};  // share of the thresholded value per channel
    NoiseRemovalSettings thresholds;
};

struct RenderSettings {
    bool imageAnalysed = false;
    int viewOption = 0;
    int mipmapLevel = 0;    // the layer a frequency view shows; 0 for the result
    float edgeGain = 1.0f;  // "keepEdges" as a fraction
    bool trackMovement = false;
    int frames = 1;  // 1, 2, 4 or 8
    float frequencyContrast = 1.0f;
    const Wavelet* wavelet = nullptr;
    BoxCorners box;
    std::vector<LayerSettings> layers;  // one per layer that can be shrunk
};

// "imageAnalysed", "viewOption" and the box only: enough to choose the analysis-box path.
RenderSettings readViewSettings(const HostCall& call);
// The rest, for a frame of `layerCount` frequency layers.
void readRenderSettings(const HostCall& call, int layerCount, RenderSettings& settings);

// What "Analyze" measures with: the box, moved by the render context's point offset, and the
// wavelet.
struct AnalysisSettings {
    BoxCorners box;
    const Wavelet* wavelet = nullptr;
};
// Without a valid render context there is nothing to measure: the box is empty and there is
// no wavelet.
AnalysisSettings readAnalysisSettings(const HostCall& call);

// Layer `layer`'s thresholds for wavelet levels 1 .. levels, at the render context's time.
NoiseRemovalSettings readNoiseRemovalSettings(const HostCall& call, int layer, int levels);

}  // namespace Plugin
