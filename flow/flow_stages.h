// The stage sequence of the dense flow, run by one worker over its own bands.
#pragma once

#include <functional>

#include "flow/flow_state.h"

namespace Plugin {

// One worker's place in the computation. The barrier runs after every stage; work that
// only one worker may do (resizing shared scratch) is done by the coordinator.
struct FlowWorker {
    int index = 0;
    int count = 1;
    bool coordinator = true;
    std::function<void()> barrier = [] {};
};

void runFlowStages(FlowState& state, const FlowWorker& worker);

}  // namespace Plugin
