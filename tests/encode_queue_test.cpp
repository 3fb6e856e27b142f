// The encoder's thread: every picture encoded once, in order; the render waits only when the
// queue is full; an encoder's error stops the job at the render's next step.
#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <mutex>
#include <stdexcept>
#include <vector>

#include "cli/encode_queue.h"

namespace ruvovav::cli {
namespace {

media::Picture numbered(int64_t n) {
    media::Picture picture;
    picture.time = n;
    return picture;
}

TEST(EncodeQueue, EncodesEveryPictureOnceInOrder) {
    std::vector<int64_t> encoded;  // touched by the encoder's thread only until close()
    EncodeQueue queue([&](const media::Picture& p) { encoded.push_back(p.time); }, 2);
    for (int64_t n = 0; n < 50; ++n) queue.push(numbered(n));
    queue.close();
    ASSERT_EQ(encoded.size(), 50u);
    for (int64_t n = 0; n < 50; ++n) EXPECT_EQ(encoded[size_t(n)], n);
}

TEST(EncodeQueue, TheRenderWaitsOnlyWhenTheQueueIsFull) {
    // A sink that holds every picture until the gate opens, so that the queue fills up.
    std::promise<void> gate;
    const std::shared_future<void> open = gate.get_future().share();
    std::mutex mutex;
    std::vector<int64_t> encoded;
    EncodeQueue queue(
        [&](const media::Picture& p) {
            open.wait();
            const std::lock_guard lock(mutex);
            encoded.push_back(p.time);
        },
        2);
    // One picture in the blocked sink and two waiting: three pushes return at once.
    for (int64_t n = 0; n < 3; ++n) queue.push(numbered(n));
    std::atomic<bool> fourthQueued = false;
    std::thread producer([&] {
        queue.push(numbered(3));
        fourthQueued = true;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_FALSE(fourthQueued) << "a fourth picture waits for room";
    gate.set_value();
    producer.join();
    queue.close();
    EXPECT_EQ(encoded, (std::vector<int64_t>{0, 1, 2, 3}));
    EXPECT_GT(queue.waitSeconds(), 0.0);
}

TEST(EncodeQueue, AnEncoderErrorReachesTheRenderAndNothingAfterItIsEncoded) {
    std::atomic<int> calls = 0;
    EncodeQueue queue(
        [&](const media::Picture& p) {
            ++calls;
            if (p.time == 1) throw std::runtime_error("disk full");
        },
        1);
    bool thrown = false;
    try {
        for (int64_t n = 0; n < 100; ++n) queue.push(numbered(n));
        queue.close();
    } catch (const std::runtime_error& e) {
        thrown = true;
        EXPECT_STREQ(e.what(), "disk full");
    }
    EXPECT_TRUE(thrown);
    EXPECT_EQ(calls, 2) << "picture 0, then the failing picture 1";
}

TEST(EncodeQueue, DestroyingWithoutCloseStillEncodesWhatWasQueued) {
    std::vector<int64_t> encoded;
    {
        EncodeQueue queue([&](const media::Picture& p) { encoded.push_back(p.time); }, 4);
        for (int64_t n = 0; n < 4; ++n) queue.push(numbered(n));
    }
    EXPECT_EQ(encoded, (std::vector<int64_t>{0, 1, 2, 3}));
}

}  // namespace
}  // namespace ruvovav::cli
