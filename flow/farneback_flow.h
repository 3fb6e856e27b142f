// Dense two-frame optical flow by polynomial expansion (Farneback), coarse to fine,
// measured in both directions at once on the CPU.
#pragma once

#include "flow/flow_settings.h"
#include "image/texture_data.h"

namespace Plugin {

class FarnebackOpticalFlow {
public:
    // Fills `flow` (the inputs' size, zero-filled by the caller) with the forward flow
    // (where each pixel of a lies in b) in x, y and the backward flow in z, w, in pixels.
    // Runs every stage on the calling thread.
    static void compute(const TextureDataV1& a, const TextureDataV1& b, TextureDataV4& flow,
                        const FlowSettings& settings = {});

    // The same computation split over worker threads (flow/dual_flow.h).
    class DualFlow;
};

}  // namespace Plugin
