// The encoder's thread: every picture encoded once, in order; the render waits only when the
// queue is full; an encoder's error stops the job at the render's next step.
#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
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

// A sink that holds every picture until released, so a test sees the queue fill up.
class GatedSink {
public:
    void operator()(const media::Picture& picture) {
        std::unique_lock lock(mutex_);
        opened_.wait(lock, [this] { return open_; });
        encoded_.push_back(picture.time);
    }
    void open() {
        {
            std::lock_guard lock(mutex_);
            open_ = true;
        }
        opened_.notify_all();
    }
    std::vector<int64_t> encoded() {
        std::lock_guard lock(mutex_);
        return encoded_;
    }

private:
    std::mutex mutex_;
    std::condition_variable opened_;
    bool open_ = false;
    std::vector<int64_t> encoded_;
};

TEST(EncodeQueue, EncodesEveryPictureOnceInOrder) {
    std::vector<int64_t> encoded;  // touched by the encoder's thread only until close()
    EncodeQueue queue([&](const media::Picture& p) { encoded.push_back(p.time); }, 2);
    for (int64_t n = 0; n < 50; ++n) queue.push(numbered(n));
    queue.close();
    ASSERT_EQ(encoded.size(), 50u);
    for (int64_t n = 0; n < 50; ++n) EXPECT_EQ(encoded[size_t(n)], n);
}

TEST(EncodeQueue, TheRenderWaitsOnlyWhenTheQueueIsFull) {
    GatedSink sink;
    EncodeQueue queue([&](const media::Picture& p) { sink(p); }, 2);
    // One picture in the blocked sink and two waiting: three pushes return at once.
    for (int64_t n = 0; n < 3; ++n) queue.push(numbered(n));
    std::atomic<bool> fourthQueued = false;
    std::thread producer([&] {
        queue.push(numbered(3));
        fourthQueued = true;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_FALSE(fourthQueued) << "a fourth picture waits for room";
    sink.open();
    producer.join();
    queue.close();
    EXPECT_EQ(sink.encoded(), (std::vector<int64_t>{0, 1, 2, 3}));
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
