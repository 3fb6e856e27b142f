#include "flow/dual_flow.h"

#include <algorithm>
#include <mutex>
#include <thread>
#include <vector>

#include "flow/flow_stages.h"

namespace Plugin {

namespace {

using Worker = FarnebackOpticalFlow::DualFlow::CalcOpticalFlowThread;

// Shared by every computation; only touched while the compute mutex is held. The
// barrier's events order every access to `generation` (see barrier()).
struct BarrierState {
    const std::vector<std::shared_ptr<Worker>>* workerList = nullptr;
    int coordinatorIndex = 0;
    bool generation = true;
    FlowEvent releaseEvents[2];  // manual-reset, used alternately
};

BarrierState& barrierState() {
    static BarrierState state;
    return state;
}

}  // namespace

void FarnebackOpticalFlow::DualFlow::compute(const TextureDataV1& imageA,
                                             const TextureDataV1& imageB, TextureDataV4& flow,
                                             int maxLevels, int averagingRadius, int iterations,
                                             int polyN, double polySigma) {
    FlowSettings settings;
    settings.maxLevels = maxLevels;
    settings.averagingRadius = averagingRadius;
    settings.iterations = iterations;
    settings.polyN = polyN;
    settings.polySigma = polySigma;
    computeWithWorkers(imageA, imageB, flow, int(std::thread::hardware_concurrency()), settings);
}

void FarnebackOpticalFlow::DualFlow::computeWithWorkers(const TextureDataV1& imageA,
                                                        const TextureDataV1& imageB,
                                                        TextureDataV4& flow, int workerCount,
                                                        const FlowSettings& settings) {
    // The barrier state is process-wide, so whole computations are serialised.
    static std::mutex computeMutex;
    std::lock_guard lock(computeMutex);

    FlowState state = makeFlowState(imageA, imageB, flow, settings);
    const int n = std::max(1, workerCount);
    std::vector<std::shared_ptr<Worker>> workers;
    workers.reserve(size_t(n));
    for (int i = 0; i < n; ++i) workers.push_back(std::make_shared<Worker>(state, i));

    BarrierState& b = barrierState();
    b.generation = true;
    b.releaseEvents[0].reset();
    b.releaseEvents[1].reset();
    b.workerList = &workers;
    b.coordinatorIndex = workers.front()->index();

    for (size_t i = 1; i < workers.size(); ++i) workers[i]->start();
    workers.front()->run();
    for (size_t i = 1; i < workers.size(); ++i) workers[i]->join();
    b.workerList = nullptr;
}

void FarnebackOpticalFlow::DualFlow::CalcOpticalFlowThread::run() {
    const BarrierState& b = barrierState();
    const FlowWorker worker{index_, int(b.workerList->size()), index_ == b.coordinatorIndex,
                            [this] { barrier(); }};
    runFlowStages(state_, worker);
}

// Workers signal their own auto-reset event and wait on the release event of the current
// generation; the coordinator consumes every signal, flips the generation and releases.
// The event used next was reset before this release, so nobody passes a barrier early.
void FarnebackOpticalFlow::DualFlow::CalcOpticalFlowThread::barrier() {
    BarrierState& b = barrierState();
    if (index_ != b.coordinatorIndex) {
        const bool generation = b.generation;
        doneEvent_.set();
        b.releaseEvents[generation ? 1 : 0].wait();
        doneEvent_.reset();
        return;
    }
    for (const std::shared_ptr<Worker>& w : *b.workerList)
        if (w.get() != this) w->doneEvent().wait();
    b.generation = !b.generation;
    if (b.generation) {
        b.releaseEvents[1].reset();
        b.releaseEvents[0].set();
    } else {
        b.releaseEvents[0].reset();
        b.releaseEvents[1].set();
    }
}

}  // namespace Plugin
