#include "flow/farneback_flow.h"

#include "flow/flow_stages.h"
#include "flow/flow_state.h"

namespace Plugin {

void FarnebackOpticalFlow::compute(const TextureDataV1& a, const TextureDataV1& b,
                                   TextureDataV4& flow, const FlowSettings& settings) {
    FlowState state = makeFlowState(a, b, flow, settings);
    runFlowStages(state, FlowWorker{});
}

}  // namespace Plugin
