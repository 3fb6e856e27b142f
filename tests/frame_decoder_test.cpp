// Decoding ahead on a thread: every frame arrives as decoded, in any order asked for; the
// decoder stays a bounded number of frames ahead; errors reach the frame that failed only.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "cli/frame_decoder.h"

namespace ruvovav::cli {
namespace {

using namespace std::chrono_literals;

// A 2x1 clip whose frame n has every value n / 100 and presentation time 1000 + n. It can
// fail at one frame, end early, or be slow.
class FakeReader : public media::MediaReader {
public:
    explicit FakeReader(int frames) {
        info_.width = 2, info_.height = 1, info_.frameCount = frames;
    }

    const media::VideoInfo& info() const override { return info_; }
    bool read(int64_t index, media::Picture& out) override {
        ++reads;
        if (delay.count() > 0) std::this_thread::sleep_for(delay);
        if (index == throwAt)
            throw media::MediaError("frame " + std::to_string(index) + " is damaged");
        if (index >= realFrames) return false;
        out.width = 2;
        out.height = 1;
        const float v = float(index) / 100;
        out.rgba = {v, v, v, 1, v, v, v, 1};
        out.time = 1000 + index;
        return true;
    }

    std::atomic<int> reads{0};
    int64_t throwAt = -1;
    int64_t realFrames = 1 << 30;
    std::chrono::milliseconds delay{0};

private:
    media::VideoInfo info_;
};

// The frame's value, read back from the premultiplied host frame (alpha is 1).
int valueOf(const DecodedFrame& frame) {
    return int(frame.frame.rgba[0] * 100 + 0.5f);
}

template <typename Condition>
bool eventually(Condition condition) {
    for (int i = 0; i < 400 && !condition(); ++i) std::this_thread::sleep_for(5ms);
    return condition();
}

TEST(FrameDecoder, ReadsAheadOfTheHighestFrameAskedForAndNoFurther) {
    auto reader = std::make_shared<FakeReader>(20);
    FrameDecoder decoder(reader, 20, 3);
    std::string error;
    ASSERT_TRUE(decoder.take(0, error));
    EXPECT_TRUE(eventually([&] { return reader->reads == 4; }));  // 0 and three ahead
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(reader->reads, 4);
    ASSERT_TRUE(decoder.take(2, error));
    EXPECT_TRUE(eventually([&] { return reader->reads == 6; }));
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(reader->reads, 6);
    EXPECT_GT(decoder.decodeSeconds(), 0.0);
}

// In order, each frame is read once; going back or far ahead starts again there.
TEST(FrameDecoder, FramesArriveWithTheirTimesInAnyOrderAskedFor) {
    auto reader = std::make_shared<FakeReader>(100);
    FrameDecoder decoder(reader, 100, 2);
    std::string error;
    for (const int index : {0, 1, 2, 3, 4, 5, 1, 2, 80, 3}) {
        const auto frame = decoder.take(index, error);
        ASSERT_TRUE(frame) << error;
        EXPECT_EQ(valueOf(*frame), index);
        EXPECT_EQ(frame->time, 1000 + index);
        EXPECT_EQ(frame->frame.width, 2);
        if (index == 5) {
            EXPECT_LE(reader->reads, 8) << "frames 0 to 5 and two ahead";
        }
    }
    // Far ahead is a seek, not 75 reads on.
    EXPECT_LT(reader->reads, 30);
}

TEST(FrameDecoder, AnErrorBelongsToItsFrameAndLaterFramesStillCome) {
    auto reader = std::make_shared<FakeReader>(8);
    reader->throwAt = 3;
    reader->realFrames = 6;  // the clip is shorter than announced
    FrameDecoder decoder(reader, 8, 2);
    std::string error;
    ASSERT_TRUE(decoder.take(2, error));
    EXPECT_FALSE(decoder.take(3, error));
    EXPECT_EQ(error, "frame 3 is damaged");
    const auto after = decoder.take(4, error);
    ASSERT_TRUE(after);
    EXPECT_EQ(valueOf(*after), 4);
    EXPECT_FALSE(decoder.take(6, error));
    EXPECT_EQ(error, "frame 6 is missing from the input");
    EXPECT_FALSE(decoder.take(8, error));
    EXPECT_EQ(error, "frame 8 is missing from the input");
    EXPECT_FALSE(decoder.take(-1, error));
}

TEST(FrameDecoder, StopsPromptlyWhileASlowReadIsUnderWay) {
    auto reader = std::make_shared<FakeReader>(50);
    // Slow enough that a loaded machine's pause between take() and the destructor does not
    // let the reads ahead run on.
    reader->delay = 100ms;
    {
        FrameDecoder decoder(reader, 50, 8);
        std::string error;
        ASSERT_TRUE(decoder.take(0, error));
    }
    // The destructor waited for the read in hand and started no other.
    const int readsAtStop = reader->reads;
    std::this_thread::sleep_for(150ms);
    EXPECT_EQ(reader->reads, readsAtStop);
    EXPECT_LE(readsAtStop, 3);
}

}  // namespace
}  // namespace ruvovav::cli
