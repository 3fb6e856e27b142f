// The parameters one render reads, at the render context's time.
#pragma once

#include "plugin/host_call.h"

namespace Plugin {

struct RenderSettings {
    bool imageAnalysed = false;
    int viewOption = 0;
    int mipmapLevel = 0;    // the layer a frequency view shows; 0 for the result
    float edgeGain = 1.0f;  // "keepEdges" as a fraction
    bool trackMovement = false;
    int frames = 1;  // 1, 2, 4 or 8
};

// "imageAnalysed" and "viewOption" only: enough to choose the analysis-box path.
RenderSettings readViewSettings(const HostCall& call);
// The rest, in the order the render needs them.
void readRenderSettings(const HostCall& call, RenderSettings& settings);

// A float parameter read at the render time.
float readFloat(const HostCall& call, const char* id);

}  // namespace Plugin
