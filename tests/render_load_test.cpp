// Hundreds of renders through the loaded module with abandoned renders and failing fetches
// mixed in: every lent image comes back, and neither GL objects nor memory grow over the run.
// GL objects are counted by asking GL itself which names are alive, not by the host's books.
#include <GL/glew.h>
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <memory>

#include "host/host.h"
#include "module_fixture.h"

namespace {

using kestrel::Frame;

constexpr int kWidth = 64;
constexpr int kHeight = 48;
constexpr int kClipFrames = 12;
constexpr int kRenders = 240;
constexpr int kWarmUp = 24;
// Names GL hands out count up from 1; a leak of one object per render would pass this.
constexpr GLuint kNamesProbed = 20000;

Frame movingFrame(int index) {
    Frame f{kWidth, kHeight, {}};
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x) {
            const float v =
                0.5f + 0.3f * std::sin(0.3f * float(x + 2 * index)) * std::cos(0.25f * float(y));
            f.rgba.insert(f.rgba.end(), {v, v * 0.9f, v * 0.8f, 1.0f});
        }
    }
    return f;
}

// Textures, buffers, vertex arrays, programs and framebuffers alive.
using LiveObjects = std::array<int, 5>;

LiveObjects countLiveObjects() {
    LiveObjects live{};
    for (GLuint name = 1; name <= kNamesProbed; ++name) {
        live[0] += glIsTexture(name) ? 1 : 0;
        live[1] += glIsBuffer(name) ? 1 : 0;
        live[2] += glIsVertexArray(name) ? 1 : 0;
        live[3] += glIsProgram(name) ? 1 : 0;
        live[4] += glIsFramebuffer(name) ? 1 : 0;
    }
    return live;
}

long residentKilobytes() {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
    }
    return 0;
}

TEST(RenderLoad, HundredsOfRendersWithFailuresLeakNothing) {
    kestrel::Host host(testing_support::loadedModule(), kestrel::GlOptions{});
    std::vector<Frame> clip;
    for (int i = 0; i < kClipFrames; ++i) clip.push_back(movingFrame(i));
    host.gl()->setClip(std::move(clip));
    ASSERT_EQ(host.createInstance(), 1);
    ASSERT_EQ(host.setUpGpu(), 1);
    ASSERT_EQ(host.declareParameters(), 1);
    host.parameters().set("analyzePoint1", 0, {-30, -20}, 0);
    host.parameters().set("analyzePoint2", 0, {30, 20}, 0);
    ASSERT_EQ(host.notify(7, "analyzeButton"), 1);
    host.parameters().setChoiceByValue("numberOfFrames", 0, 4, 0);

    LiveObjects afterWarmUp;
    long memoryAfterWarmUp = 0;
    for (int n = 0; n < kRenders; ++n) {
        const int frame = n % kClipFrames;
        host.gl()->clip().clearFailures();
        // Every fifth render loses a neighbour; every seventh is abandoned by the host at its
        // first progress report (a failed fetch or an alignment).
        if (n % 5 == 0) host.gl()->clip().injectFailure((frame + 1) % kClipFrames);
        host.askStopAtProgressReport(n % 7 == 0 ? int(host.progressReports().size()) + 1 : 0);
        host.parameters().set("useOpticalFlowTracking", 0, {double(n % 3 != 0), 0}, 0);
        ASSERT_EQ(host.renderFrame(frame), 1) << "render " << n;
        ASSERT_EQ(host.gl()->lentImages().outstanding(), 0) << "render " << n;
        ASSERT_EQ(host.hostErrors(), 0) << "render " << n;
        for (const std::string& line : host.gl()->lastStateDifferences()) {
            ADD_FAILURE() << "render " << n << ": " << line;
        }
        if (n + 1 == kWarmUp) {
            host.gl()->context().makeCurrent();
            afterWarmUp = countLiveObjects();
            memoryAfterWarmUp = residentKilobytes();
        }
    }
    host.gl()->context().makeCurrent();
    const LiveObjects atEnd = countLiveObjects();
    EXPECT_EQ(atEnd, afterWarmUp) << "textures, buffers, vertex arrays, programs, framebuffers";
    EXPECT_EQ(host.gl()->objects().buffersOutstanding(), 0);
    const long growth = residentKilobytes() - memoryAfterWarmUp;
    std::printf(
        "%d renders: %d textures, %d programs alive; resident memory grew %ld kB "
        "after the first %d\n",
        kRenders, atEnd[0], atEnd[3], growth, kWarmUp);
#if defined(__SANITIZE_ADDRESS__)
    // The address sanitizer holds freed memory in quarantine, so the resident size grows by
    // design there; its leak checker covers that build instead.
    std::printf("resident-memory bound not applied under AddressSanitizer\n");
#else
    // Two of the clip's frames in RGBA floats are about 50 kB; 8 MB leaves room for the
    // allocator's own slack while catching a frame's worth of growth per render.
    EXPECT_LT(growth, 8 * 1024) << "kB";
#endif
}

}  // namespace
