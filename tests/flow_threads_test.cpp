// The dense flow split over worker threads must reproduce the single-threaded computation
// bit for bit, whatever the worker count, and leave no thread behind.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstring>
#include <numbers>
#include <thread>

#include "flow/dual_flow.h"
#include "flow/farneback_flow.h"
#include "flow/flow_event.h"
#include "flow/thread.h"

namespace {

using namespace Plugin;
using DualFlow = FarnebackOpticalFlow::DualFlow;

// Smooth multi-orientation texture in 8-bit grey levels, as the flow's own tests use.
double texture(double x, double y) {
    constexpr double tau = 2.0 * std::numbers::pi;
    return 255.0 *
           (0.5 + 0.2 * std::sin(tau * x / 37.0 + 0.3) + 0.15 * std::sin(tau * y / 29.0 + 1.1) +
            0.1 * std::sin(tau * (x + y) / 23.0) + 0.1 * std::cos(tau * (x - 2.0 * y) / 41.0));
}

struct ImagePair {
    TextureDataV1 a, b;
};

// The texture, and the texture displaced by (dx, dy).
ImagePair makePair(int w, int h, double dx, double dy) {
    ImagePair p{TextureDataV1(w, h), TextureDataV1(w, h)};
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            p.a.at(x, y) = float(texture(x, y));
            p.b.at(x, y) = float(texture(x - dx, y - dy));
        }
    return p;
}

TextureDataV4 singleThreaded(const ImagePair& p) {
    TextureDataV4 flow(p.a.width, p.a.height);
    FarnebackOpticalFlow::compute(p.a, p.b, flow);
    return flow;
}

// Whether two fields hold the same bits (fields are allocated without row padding).
bool sameBits(const TextureDataV4& x, const TextureDataV4& y) {
    return x.width == y.width && x.height == y.height &&
           std::memcmp(x.data.get(), y.data.get(),
                       sizeof(x.data[0]) * size_t(x.width * x.height)) == 0;
}

struct WorkerCase {
    int width, height, workers;
};

class DualFlowWorkers : public ::testing::TestWithParam<WorkerCase> {};

TEST_P(DualFlowWorkers, BitIdenticalToSingleThreaded) {
    const WorkerCase c = GetParam();
    const ImagePair pair = makePair(c.width, c.height, 1.5, -0.75);
    const TextureDataV4 expected = singleThreaded(pair);
    ASSERT_FALSE(sameBits(expected, TextureDataV4(c.width, c.height))) << "a zero flow";
    TextureDataV4 flow(c.width, c.height);
    DualFlow::computeWithWorkers(pair.a, pair.b, flow, c.workers);
    EXPECT_TRUE(sameBits(flow, expected));
    EXPECT_EQ(Thread::liveThreads(), 0);
}

// 100 workers exceed every row and column count of the 96 x 72 image; 32 workers exceed
// the 20 rows of the small one already at the finest level.
INSTANTIATE_TEST_SUITE_P(Counts, DualFlowWorkers,
                         ::testing::Values(WorkerCase{96, 72, 1}, WorkerCase{96, 72, 3},
                                           WorkerCase{96, 72, 100}, WorkerCase{40, 20, 32}));

// Two callers at once, each with as many workers as the machine has, twice over: each gets
// its own result, and no state of one computation leaks into the next.
TEST(DualFlow, ConcurrentAndRepeatedCallersGetTheirOwnResult) {
    const ImagePair first = makePair(96, 72, 1.5, -0.75);
    const ImagePair second = makePair(96, 72, -2.25, 1.0);
    const TextureDataV4 expectedFirst = singleThreaded(first);
    const TextureDataV4 expectedSecond = singleThreaded(second);
    ASSERT_FALSE(sameBits(expectedFirst, expectedSecond));
    for (int round = 0; round < 2; ++round) {
        TextureDataV4 flowFirst(96, 72), flowSecond(96, 72);
        std::thread t1([&] { DualFlow::compute(first.a, first.b, flowFirst); });
        std::thread t2([&] { DualFlow::computeWithWorkers(second.a, second.b, flowSecond, 4); });
        t1.join();
        t2.join();
        EXPECT_TRUE(sameBits(flowFirst, expectedFirst)) << "round " << round;
        EXPECT_TRUE(sameBits(flowSecond, expectedSecond)) << "round " << round;
    }
    EXPECT_EQ(Thread::liveThreads(), 0);
}

TEST(DualFlow, MismatchedSizesThrowAndStartNothing) {
    const TextureDataV1 a(16, 16), b(16, 8);
    TextureDataV4 flow(16, 16);
    EXPECT_THROW(DualFlow::computeWithWorkers(a, b, flow, 4), std::invalid_argument);
    EXPECT_EQ(Thread::liveThreads(), 0);
}

// ---- the event the workers meet at ----

// Whether a wait on `e` returns within `patience`, watched from a thread of its own. A wait
// still blocked then is released with a set, so that its thread can be joined: the event is
// signalled afterwards (and for an auto-reset event consumed again by that wait).
bool waitReturns(FlowEvent& e, std::chrono::milliseconds patience) {
    std::atomic<bool> released{false};
    std::thread waiter([&] {
        e.wait();
        released = true;
    });
    const auto deadline = std::chrono::steady_clock::now() + patience;
    while (!released && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    const bool returned = released;
    if (!returned) e.set();
    waiter.join();
    return returned;
}

// A blocked wait is only seen as one that has not returned yet; 100 ms is long enough for a
// wait that would return to do so on any machine, and a slower one only hides a fault.
constexpr std::chrono::milliseconds kBlocked{100};
constexpr std::chrono::milliseconds kReturns{10000};

TEST(FlowEvent, ManualResetStaysSignalledUntilReset) {
    FlowEvent e;
    EXPECT_FALSE(waitReturns(e, kBlocked)) << "a new event is unsignalled";
    EXPECT_TRUE(waitReturns(e, kReturns)) << "the set that released it holds";
    EXPECT_TRUE(waitReturns(e, kReturns)) << "and still holds: no wait consumes it";
    e.reset();
    EXPECT_FALSE(waitReturns(e, kBlocked)) << "reset unsignals it";
    e.reset();
    e.set();
    EXPECT_TRUE(waitReturns(e, kReturns));
}

TEST(FlowEvent, AutoResetReleasesOneWaitPerSet) {
    FlowEvent e(FlowEvent::Reset::Auto);
    e.set();
    EXPECT_TRUE(waitReturns(e, kReturns));
    EXPECT_FALSE(waitReturns(e, kBlocked)) << "the wait that saw the signal consumed it";
    e.set();
    e.reset();
    EXPECT_FALSE(waitReturns(e, kBlocked)) << "reset unsignals it before any wait";
    e.set();
    e.set();  // signals do not add up
    EXPECT_TRUE(waitReturns(e, kReturns));
    EXPECT_FALSE(waitReturns(e, kBlocked));
}

}  // namespace
