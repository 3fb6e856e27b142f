// What every pass needs from the call it runs in: the host's handle and table, and
// through them the render context and the instance's program registry.
#pragma once

#include "gl/effect_data.h"
#include "gl/denoise_instance.h"
#include "plugin/host_api.h"

namespace Plugin {

struct HostCall {
    HostHandle host = 0;
    HostApi* api = nullptr;

    RenderContext* renderContext() const { return api->renderContext; }
    EffectData& effect() const { return *instanceOf(api); }
    // The host's images of this render; null when the host has none.
    const HostImage* sourceImage() const;
    const HostImage* destinationImage() const;
};

inline const HostImage* HostCall::sourceImage() const {
    const RenderContext* rc = renderContext();
    return rc != nullptr ? rc->source : nullptr;
}

inline const HostImage* HostCall::destinationImage() const {
    const RenderContext* rc = renderContext();
    return rc != nullptr ? rc->destination : nullptr;
}

}  // namespace Plugin
