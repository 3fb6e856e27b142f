#include "render/render_settings.h"

#include "params/parameter_ids.h"
#include "render/view_modes.h"

namespace Plugin {

float readFloat(const HostCall& call, const char* id) {
    return call.api->GetFloatParameter(call.host, id, call.renderContext()->time);
}

RenderSettings readViewSettings(const HostCall& call) {
    const int32_t time = call.renderContext()->time;
    RenderSettings s;
    s.imageAnalysed = call.api->GetBoolParameter(call.host, ids::kImageAnalysed, time);
    s.viewOption = call.api->GetChoiceParameter(call.host, ids::kViewOption, time);
    return s;
}

void readRenderSettings(const HostCall& call, RenderSettings& s) {
    const int32_t time = call.renderContext()->time;
    s.mipmapLevel = s.viewOption != kViewResult
                        ? call.api->GetIntParameter(call.host, ids::kMipmapLevel, time)
                        : 0;
    s.edgeGain = readFloat(call, ids::kKeepEdges) * 0.01f;
    s.trackMovement = call.api->GetBoolParameter(call.host, ids::kTrackMovement, time);
    s.frames = call.api->GetChoiceParameter(call.host, ids::kNumberOfFrames, time);
}

}  // namespace Plugin
