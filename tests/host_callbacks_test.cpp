// Exceptions inside the host's C operations: a frame source that throws while the module
// fetches a neighbour (a decoder failing, memory running out), and an image request that
// throws. Each is caught in the operation and answered with its error result; none reaches
// the module, every lent image comes back, and the host can say what happened.
#include <gtest/gtest.h>

#include <new>
#include <stdexcept>
#include <string>
#include <vector>

#include "host/host.h"
#include "host/stdout_capture.h"
#include "module_fixture.h"

namespace {

using kestrel::Frame;
using kestrel::Host;

Frame grey(int width, int height, float value) {
    Frame frame{width, height, {}};
    for (int i = 0; i < width * height; ++i)
        frame.rgba.insert(frame.rgba.end(), {value, value, value, 1});
    return frame;
}

struct ThrowingSource {
    int throwAt;  // the frame index whose fetch throws
    std::function<void()> thrower;
    Frame frame = grey(16, 16, 0.5f);
    int calls = 0;

    const Frame* operator()(int index) {
        ++calls;
        if (index == throwAt) thrower();
        return &frame;
    }
};

class HostCallbacks : public ::testing::Test {
protected:
    void start(ThrowingSource& source) {
        host_ = std::make_unique<Host>(testing_support::loadedModule(), kestrel::GlOptions{});
        host_->gl()->setClipSource(16, 16, 3, [&source](int i) { return source(i); });
        ASSERT_EQ(host_->createInstance(), 1);
        ASSERT_EQ(host_->setUpGpu(), 1);
        ASSERT_EQ(host_->declareParameters(), 1);
        host_->parameters().set("imageAnalysed", 0, {1.0}, 0);
        host_->parameters().setChoiceByValue("numberOfFrames", 0, 2, 0);  // frames 1 and 2
    }
    // Renders frame 1, whose window also fetches frame 2; the module's own words about a
    // missing frame go to a capture, not the test's log.
    int32_t renderFrameOne() {
        kestrel::StdoutCapture capture;
        int32_t result = -1;
        EXPECT_NO_THROW(result = host_->renderFrame(1));
        capture.finish();
        return result;
    }

    std::unique_ptr<Host> host_;
};

TEST_F(HostCallbacks, AFrameSourceThatThrowsFailsOnlyThatFetch) {
    struct NotAStandardException {};
    const std::vector<std::pair<std::function<void()>, std::string>> throwers = {
        {[] { throw std::runtime_error("corrupt packet in frame 2"); },
         "corrupt packet in frame 2"},
        {[] { throw std::bad_alloc(); }, std::bad_alloc().what()},
        {[] { throw NotAStandardException{}; }, "an exception of unknown type"},
    };
    for (const auto& [thrower, text] : throwers) {
        ThrowingSource source{.throwAt = 2, .thrower = thrower};
        start(source);
        renderFrameOne();
        EXPECT_EQ(host_->callbackFailures(), 1) << text;
        EXPECT_EQ(host_->lastCallbackFailure(), text);
        EXPECT_EQ(host_->gl()->lentImages().outstanding(), 0) << text;
        EXPECT_EQ(host_->hostErrors(), 0) << text;
        EXPECT_EQ(host_->gl()->clip().requests(), std::vector<int>({2})) << text;
        // The same host renders on once the source behaves.
        source.throwAt = -1;
        EXPECT_EQ(renderFrameOne(), 1) << text;
        EXPECT_EQ(host_->callbackFailures(), 1) << text;
        EXPECT_EQ(host_->gl()->lentImages().outstanding(), 0) << text;
    }
}

// The module sees a refused image (0); it may render around it, but nothing leaks and the
// next render is whole.
TEST_F(HostCallbacks, AnImageRequestThatThrowsIsARefusedImage) {
    ThrowingSource source{.throwAt = -1, .thrower = nullptr};
    start(source);
    int thrown = 0;
    host_->throwAtImageRequest(1, [&] {
        ++thrown;
        throw std::bad_alloc();
    });
    renderFrameOne();  // what the module makes of a refused image is its own affair
    EXPECT_EQ(thrown, 1);
    EXPECT_EQ(host_->hostErrors(), 0);
    EXPECT_EQ(host_->callbackFailures(), 1);
    EXPECT_EQ(host_->gl()->lentImages().outstanding(), 0);
    EXPECT_EQ(renderFrameOne(), 1);
    EXPECT_EQ(host_->callbackFailures(), 1);
    EXPECT_EQ(host_->gl()->lentImages().outstanding(), 0);
}

// A host made without GL answers image requests with their error results and counts them
// as the module's mistakes; nothing throws.
TEST(HostWithoutGl, ImageRequestsAreCountedNotFatal) {
    Host host(testing_support::loadedModule());
    int32_t tw = -1, th = -1;
    EXPECT_EQ(host.api().CreateImage(host.handle(), &host.renderContext(), 8, 8, 0x881A, 0x1908,
                                     0x1406, 0, 0, &tw, &th, 0),
              0u);  // RGBA16F, RGBA, float
    HostImage image{};
    EXPECT_NE(host.api().GetSourceFrame(host.handle(), &host.renderContext(), 0, &image), 0);
    EXPECT_EQ(host.hostErrors(), 2);
    EXPECT_EQ(host.callbackFailures(), 0);
}

}  // namespace
