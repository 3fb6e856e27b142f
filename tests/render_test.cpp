// Rendering (message 10) through the loaded module and our host, with small generated clips.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "host/host.h"
#include "host/stdout_capture.h"
#include "module_fixture.h"

namespace {

using kestrel::Frame;
using kestrel::Host;

Frame uniformFrame(int width, int height, float r, float g, float b, float a) {
    Frame frame{width, height, {}};
    for (int i = 0; i < width * height; ++i) frame.rgba.insert(frame.rgba.end(), {r, g, b, a});
    return frame;
}

// Deterministic texture with alpha varying across the frame, premultiplied.
Frame texturedFrame(int width, int height, unsigned seed) {
    Frame frame{width, height, {}};
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const float a = 0.5f + 0.5f * float((x * 7 + y * 3 + int(seed)) % 11) / 10.0f;
            const float r = 0.5f + 0.4f * std::sin(0.7f * float(x) + float(seed));
            const float g = 0.5f + 0.4f * std::cos(0.5f * float(y) - float(seed));
            const float b = 0.5f + 0.3f * std::sin(0.3f * float(x + y));
            frame.rgba.insert(frame.rgba.end(), {r * a, g * a, b * a, a});
        }
    }
    return frame;
}

class Render : public ::testing::Test {
protected:
    void start(std::vector<Frame> clip, kestrel::GlOptions options = {}) {
        host_ = std::make_unique<Host>(testing_support::loadedModule(), options);
        host_->gl()->setClip(std::move(clip));
        ASSERT_EQ(host_->createInstance(), 1);
        ASSERT_EQ(host_->setUpGpu(), 1);
        ASSERT_EQ(host_->declareParameters(), 1);
    }
    // Three textured frames of size x size, as analysed: the usual clip below.
    void startAnalysedClip(int size, kestrel::GlOptions options = {}) {
        start({texturedFrame(size, size, 1), texturedFrame(size, size, 2),
               texturedFrame(size, size, 3)},
              options);
        set("imageAnalysed", 1);
    }
    void set(const std::string& id, double x, double y = 0) {
        host_->parameters().set(id, 0, {x, y}, 0);
    }
    void choose(const std::string& id, int value) {
        host_->parameters().setChoiceByValue(id, 0, value, 0);
    }
    // Renders frame i and checks what every call must leave behind.
    std::vector<float> render(int frameIndex) {
        EXPECT_EQ(host_->renderFrame(frameIndex), 1);
        for (const std::string& line : host_->gl()->lastStateDifferences()) ADD_FAILURE() << line;
        EXPECT_EQ(host_->gl()->lentImages().outstanding(), 0) << "images not given back";
        EXPECT_EQ(host_->hostErrors(), 0);
        return host_->gl()->readDestination();
    }
    Host& host() { return *host_; }
    // Analyses the box between the two corners (pixels from the centre) in frame `current`.
    void analyse(double x1, double y1, double x2, double y2, int current) {
        set("analyzePoint1", x1, y1);
        set("analyzePoint2", x2, y2);
        host_->renderContext().currentFrame = current;
        ASSERT_EQ(host_->notify(7, "analyzeButton"), 1);
    }

    std::unique_ptr<Host> host_;
};

// Before the analysis, and after it in the analysis-box view.
TEST_F(Render, AnalysisBoxDarkensExactlyOutsideTheBox) {
    for (bool analysed : {false, true}) {
        start({uniformFrame(24, 16, 0.8f, 0.6f, 0.4f, 1.0f), uniformFrame(24, 16, 0, 0, 0, 1)});
        choose("numberOfFrames", 2);
        set("imageAnalysed", analysed);
        choose("viewOption", analysed ? 1 : 0);
        // Corners in pixels from the centre (12, 8), given top-right first: columns 8 .. 16
        // and rows 5 .. 9 are inside.
        set("analyzePoint1", 5.0, 2.0);
        set("analyzePoint2", -4.0, -3.0);
        const std::vector<float> out = render(0);
        for (int y = 0; y < 16; ++y) {
            for (int x = 0; x < 24; ++x) {
                const bool inside = x >= 8 && x <= 16 && y >= 5 && y <= 9;
                const float* p = &out[size_t(y * 24 + x) * 4];
                EXPECT_FLOAT_EQ(p[0], inside ? 0.8f : 0.4f) << x << ", " << y;
                EXPECT_FLOAT_EQ(p[2], inside ? 0.4f : 0.2f) << x << ", " << y;
                EXPECT_EQ(p[3], 1.0f);
            }
        }
        EXPECT_TRUE(host().gl()->clip().requests().empty()) << "no neighbour is fetched";
    }
}

// With no threshold the result is the frame through Y'UV and back (five-digit matrices),
// alpha exact, on power-of-two padded textures as some editors use.
TEST_F(Render, WithoutThresholdsTheResultIsTheSource) {
    for (int size : {24, 4}) {  // 4 pixels: a single layer, so the layer loop is empty
        startAnalysedClip(size, {.padding = kestrel::TexturePadding::PowerOfTwo});
        int lentWidth = 0;  // the images lent to the module are padded too
        host().gl()->lentImages().release(host().gl()->lentImages().create(
            size, size, 0x8814, 0x1908, 0x1406, 0, &lentWidth, nullptr));  // RGBA32F floats
        EXPECT_EQ(lentWidth, size == 24 ? 32 : 4);
        for (int frames : {1, 4, 8}) {  // the clip is shorter than 4 and 8
            choose("numberOfFrames", frames);
            const std::vector<float> out = render(1);
            const std::vector<float>& in = host().gl()->clip().frame(1).rgba;
            ASSERT_EQ(out.size(), in.size());
            for (size_t i = 0; i < in.size(); ++i) {  // alpha exactly
                ASSERT_NEAR(out[i], in[i], i % 4 == 3 ? 0.0 : 1e-4)
                    << size << " px, " << frames << " frames, " << i;
            }
        }
    }
}

TEST_F(Render, AHostThatAsksToStopGetsItsDestinationUntouched) {
    startAnalysedClip(16);
    choose("numberOfFrames", 4);
    host().gl()->clip().injectFailure(0);
    host().askStopAtProgressReport(1);
    const std::vector<float> before = host().gl()->readDestination();
    kestrel::StdoutCapture capture;
    EXPECT_EQ(render(1), before);
    EXPECT_EQ(capture.finish(), "");
    EXPECT_EQ(host().progressReports().size(), 1u);
}

// At the last frame a two-frame window slides back, except for the one editor that serves
// frames past the end: a missing frame after the last is stood in for by the current one.
TEST_F(Render, OnlyTheOtherEditorsWindowRunsPastTheEndOfTheClip) {
    for (bool other : {false, true}) {
        startAnalysedClip(8);
        if (other) host().setHostIdentifier(L"org.otherhost.fx and more");
        choose("numberOfFrames", 2);
        kestrel::StdoutCapture capture;
        const std::vector<float> out = render(2);
        const std::string printed = capture.finish();
        const std::vector<float>& in = host().gl()->clip().frame(2).rgba;
        for (size_t i = 0; i < in.size(); ++i) ASSERT_NEAR(out[i], in[i], 1e-4) << i;
        const std::vector<int> expected = other ? std::vector<int>{3} : std::vector<int>{1};
        EXPECT_EQ(host().gl()->clip().requests(), expected);
        EXPECT_EQ(printed, other ? "Error retrieving source image frame: 3\n" : "");
    }
}

// Flat luma, chroma in stripes: Y's view is flat grey, U's and V's show opposite stripes.
TEST_F(Render, FrequencyViewsShowTheirOwnPlaneAsGrey) {
    Frame frame{32, 32, {}};
    for (int y = 0; y < 32; ++y) {
        for (int x = 0; x < 32; ++x) {
            const bool stripe = (x / 2) % 2 == 0;  // Y = 0.5 either way
            const float rgb[3] = {stripe ? 0.4f : 0.5f, 0.5f, stripe ? 0.762281f : 0.5f};
            frame.rgba.insert(frame.rgba.end(), {rgb[0], rgb[1], rgb[2], 1.0f});
        }
    }
    start({frame});
    set("imageAnalysed", 1);
    set("mipmapLevel", 0);
    set("frequencyContrast", 4.0);
    std::vector<float> views[3];
    for (int view : {2, 3, 4}) {
        choose("viewOption", view);
        views[view - 2] = render(0);
        for (size_t i = 0; i < 32 * 32; ++i) {
            const float* p = &views[view - 2][i * 4];
            ASSERT_EQ(p[0], p[1]) << "view " << view;
            ASSERT_EQ(p[0], p[2]) << "view " << view;
            ASSERT_EQ(p[3], 1.0f);
        }
    }
    const size_t stripeTexel = size_t(16 * 32 + 17) * 4;  // x = 17: (17 / 2) % 2 == 0
    EXPECT_NEAR(views[0][stripeTexel], 0.5f, 1e-3) << "Y carries no detail";
    EXPECT_GT(views[1][stripeTexel], 0.55f) << "U is higher on the stripe";
    EXPECT_LT(views[2][stripeTexel], 0.45f) << "V is lower on the stripe";
}

// A sub-pixel pan over texture, anti-aliased edges and a flat grey strip, with fresh noise.
struct PanningClip {
    std::vector<Frame> clean;
    std::vector<Frame> noisy;
};

float panScene(double x, double y) {
    if (x < 90.0) return 0.5f;  // the flat strip the analysis box covers
    const double texture =
        0.12 * std::sin(x * 0.21) * std::cos(y * 0.17) + 0.08 * std::sin((x - y) * 0.09);
    // Two bright bars with one-pixel ramps: the edges where misaligned frames would ghost.
    const auto bar = [](double v, double lo, double hi) {
        return std::clamp(v - lo + 0.5, 0.0, 1.0) * std::clamp(hi - v + 0.5, 0.0, 1.0);
    };
    const double bars =
        0.3 * bar(x, 150.0, 170.0) + 0.3 * bar(y, 60.0, 75.0) * bar(x, 200.0, 330.0);
    return float(0.4 + texture + bars);
}

PanningClip makePanningClip(int width, int height, int frames, double vx, double vy, float sigma) {
    PanningClip clip;
    std::mt19937 generator(99);
    std::normal_distribution<float> noise(0.0f, sigma);
    for (int f = 0; f < frames; ++f) {
        Frame clean{width, height, {}};
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) {
                const float v = panScene(x + vx * f, y + vy * f);
                clean.rgba.insert(clean.rgba.end(), {v, 0.9f * v + 0.05f, 1.1f * v - 0.05f, 1.0f});
            }
        }
        Frame noisy = clean;
        for (size_t i = 0; i < noisy.rgba.size(); ++i) {
            if (i % 4 != 3) noisy.rgba[i] += noise(generator);
        }
        clip.clean.push_back(std::move(clean));
        clip.noisy.push_back(std::move(noisy));
    }
    return clip;
}

// Peak signal-to-noise ratio of the colour channels against the clean picture, peak 1.
double psnr(const std::vector<float>& image, const std::vector<float>& clean) {
    double sum = 0;
    size_t count = 0;
    for (size_t i = 0; i < clean.size(); ++i) {
        if (i % 4 == 3) continue;
        const double d = double(image[i]) - double(clean[i]);
        sum += d * d;
        ++count;
    }
    return 10.0 * std::log10(1.0 / (sum / double(count)));
}

// Each wider window must beat the narrower one, and all the noisy input clearly.
TEST_F(Render, AnalysedThresholdsRemoveNoiseAndMoreFramesRemoveMore) {
    const PanningClip clip = makePanningClip(192, 64, 8, 0, 0, 0.05f);
    start(clip.noisy);
    set("useOpticalFlowTracking", 0);
    analyse(-86.0, -30.0, -16.0, 30.0, 3);  // the flat strip, pixels 10..80 across
    EXPECT_TRUE(host().parameters().value("imageAnalysed", 0).x != 0);
    const double noisy = psnr(clip.noisy[3].rgba, clip.clean[3].rgba);
    double previous = noisy;
    for (int frames : {1, 4, 8}) {
        choose("numberOfFrames", frames);
        const std::vector<float> out = render(3);
        const double quality = psnr(out, clip.clean[3].rgba);
        std::printf("noisy %.2f dB, %d frame(s): %.2f dB\n", noisy, frames, quality);
        EXPECT_GT(quality, previous + (frames == 1 ? 2.0 : 0.5)) << frames << " frames";
        previous = quality;
        for (size_t i = 3; i < out.size(); i += 4) ASSERT_EQ(out[i], 1.0f);
    }
}

// Tracking aligns the neighbours first; misaligned frames blur and ghost at the bars' edges.
TEST_F(Render, TrackingMovementAlignsAPanningClip) {
    const PanningClip clip = makePanningClip(256, 144, 8, 4.3, 1.6, 0.05f);
    start(clip.noisy);
    analyse(-118.0, -60.0, -48.0, 60.0, 4);  // the flat strip
    choose("numberOfFrames", 4);
    double quality[2];
    for (int track : {0, 1}) {
        set("useOpticalFlowTracking", track);
        quality[track] = psnr(render(4), clip.clean[4].rgba);
    }
    const double noisy = psnr(clip.noisy[4].rgba, clip.clean[4].rgba);
    std::printf("panning clip, 4 frames: noisy %.2f dB, tracking off %.2f dB, on %.2f dB\n", noisy,
                quality[0], quality[1]);
    EXPECT_GT(quality[1], quality[0] + 3.0);
    EXPECT_GT(quality[1], noisy + 3.0);
}

// Stopped at the alignment's progress report, the frame renders as if tracking were off.
TEST_F(Render, StoppingTheAlignmentStillRendersTheFrame) {
    const PanningClip clip = makePanningClip(128, 64, 5, 2.4, 0.7, 0.05f);
    start(clip.noisy);
    analyse(-60.0, -30.0, -30.0, 30.0, 2);
    choose("numberOfFrames", 2);
    set("useOpticalFlowTracking", 0);
    const std::vector<float> untracked = render(2);
    ASSERT_TRUE(host().progressReports().empty()) << "every fetch succeeded";
    set("useOpticalFlowTracking", 1);
    host().askStopAtProgressReport(1);
    const std::vector<float> stopped = render(2);
    ASSERT_EQ(host().progressReports().size(), 1u);
    EXPECT_EQ(host().progressReports()[0], std::make_pair(10, 100));
    EXPECT_EQ(stopped, untracked);
}

}  // namespace
