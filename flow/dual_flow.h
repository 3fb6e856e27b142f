// The dense flow of FarnebackOpticalFlow run by one worker per hardware thread, the
// workers meeting at a barrier after every stage. One computation runs at a time.
#pragma once

#include <memory>

#include "flow/farneback_flow.h"
#include "flow/flow_event.h"
#include "flow/flow_state.h"
#include "flow/thread.h"

namespace Plugin {

class FarnebackOpticalFlow::DualFlow {
public:
    // Same contract as FarnebackOpticalFlow::compute; the result is bit-identical to it.
    static void compute(const TextureDataV1& imageA, const TextureDataV1& imageB,
                        TextureDataV4& flow, int maxLevels = 10, int averagingRadius = 5,
                        int iterations = 1, int polyN = 5, double polySigma = double(1.1f));

    // Test seam: the same computation with a chosen worker count (clamped to at least 1).
    static void computeWithWorkers(const TextureDataV1& imageA, const TextureDataV1& imageB,
                                   TextureDataV4& flow, int workerCount,
                                   const FlowSettings& settings = {});

    class CalcOpticalFlowThread : public Thread {
    public:
        CalcOpticalFlowThread(FlowState& state, int index) : state_(state), index_(index) {}

        void run() override;

        int index() const { return index_; }
        FlowEvent& doneEvent() { return doneEvent_; }

    private:
        void barrier();

        FlowEvent doneEvent_{FlowEvent::Reset::Auto};
        FlowState& state_;  // shared by every worker of the computation
        int index_;
    };
};

}  // namespace Plugin
