// The denoised picture of a small clip, through the loaded module and our host, against
// fingerprints of the picture this effect rendered before its passes were limited to their
// active regions: the values below were recorded with that build (every wavelet and
// noise-removal pass drawing its whole target, copies between passes), on llvmpipe.
//
// A fingerprint is kProjections sums of the output's values, each value signed by a fixed
// +-1 pattern. The mean squared difference of two fingerprints, over the value count, is an
// unbiased estimate of the pictures' mean squared difference, so the check is a PSNR bound
// (at least 60 dB, peak 1) that a GPU's last-bit differences pass, not an equality.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "host/host.h"
#include "module_fixture.h"

namespace {

constexpr int kWidth = 120;  // pads at every layer: 72 and 120 are not multiples of 32
constexpr int kHeight = 72;
constexpr int kFrames = 6;
constexpr int kRenderedFrame = 2;
constexpr int kProjections = 16;
using Fingerprint = std::array<double, kProjections>;

// Uniform in [0, 1) from the generator's raw bits: the same sequence on every library.
float unit(std::mt19937& generator) {
    return float(generator() >> 8) * 0x1p-24f;
}

// A smooth texture with a flat opaque lower-left quarter and alpha varying elsewhere
// (premultiplied), plus uniform noise of standard deviation 0.05 per frame.
std::vector<kestrel::Frame> makeClip() {
    std::mt19937 generator(26);
    std::vector<kestrel::Frame> clip;
    for (int f = 0; f < kFrames; ++f) {
        kestrel::Frame frame{kWidth, kHeight, {}};
        for (int y = 0; y < kHeight; ++y) {
            for (int x = 0; x < kWidth; ++x) {
                const bool flat = x < kWidth / 2 && y < kHeight / 2;
                const float a = flat ? 1.0f : 0.6f + 0.4f * float((x + 2 * y) % 9) / 8.0f;
                float rgb[3] = {0.5f + 0.3f * std::sin(0.4f * float(x)) * std::cos(0.3f * float(y)),
                                0.45f + 0.25f * std::cos(0.25f * float(x + y)),
                                0.5f + 0.2f * std::sin(0.5f * float(y))};
                for (float& c : rgb) {
                    if (flat) c = 0.5f;
                    c = (c + 0.0866f * (2.0f * unit(generator) - 1.0f)) * a;
                }
                frame.rgba.insert(frame.rgba.end(), {rgb[0], rgb[1], rgb[2], a});
            }
        }
        clip.push_back(std::move(frame));
    }
    return clip;
}

Fingerprint fingerprint(const std::vector<float>& values) {
    Fingerprint sums{};
    std::mt19937 signs(5);
    for (float v : values) {
        const uint32_t bits = signs();
        for (int k = 0; k < kProjections; ++k) {
            sums[size_t(k)] += ((bits >> k) & 1u) != 0 ? double(v) : -double(v);
        }
    }
    return sums;
}

double estimatedPsnr(const Fingerprint& a, const Fingerprint& b, size_t values) {
    double squares = 0;
    for (int k = 0; k < kProjections; ++k) {
        const double d = a[size_t(k)] - b[size_t(k)];
        squares += d * d;
    }
    const double mse = squares / kProjections / double(values);
    return mse == 0 ? INFINITY : 10.0 * std::log10(1.0 / mse);
}

struct Case {
    int method;  // "method" value: 0 Haar, 2 Daubechies 8
    int frames;
    Fingerprint recorded;
};

// clang-format off
const Case kCases[] = {
    {0, 1, {-160.394028336, 153.267789871, 255.378059268, 17.0731068552,
      -123.233850539, -203.955231294, -39.7764390856, -195.413125157,
      116.794605747, -64.0432322025, 88.8417280167, 209.891905561,
      -46.2226573229, 11.047778219, 75.1956912577, 192.169287875}},
    {0, 4, {-160.408256575, 150.285155907, 255.591930121, 16.1361133605,
      -120.951839894, -205.861309156, -37.2684050798, -197.169689551,
      118.10984154, -66.1686441749, 89.1732657105, 207.115535527,
      -43.659539178, 12.6704258174, 75.4434820414, 192.819779962}},
    {2, 1, {-164.569876768, 147.202208735, 254.655496068, 14.1587077901,
      -122.078410022, -203.155052088, -36.7119928375, -199.077325426,
      117.862732686, -68.8738473132, 92.4954197332, 208.255404614,
      -41.8159784749, 8.03405652195, 76.1795978621, 193.325870655}},
    {2, 4, {-161.512184657, 148.388306431, 254.601427965, 13.9369892403,
      -121.321698286, -203.964914449, -35.8210484758, -198.544043399,
      118.180360369, -66.9231295809, 90.0691204444, 208.820446618,
      -44.1956111267, 14.6010150835, 75.0492871478, 191.951603062}},
};
// clang-format on

TEST(RenderPicture, MatchesThePictureOfWholeTargetPasses) {
    kestrel::Host host(testing_support::loadedModule(), kestrel::GlOptions{});
    host.gl()->setClip(makeClip());
    ASSERT_EQ(host.createInstance(), 1);
    ASSERT_EQ(host.setUpGpu(), 1);
    ASSERT_EQ(host.declareParameters(), 1);
    host.parameters().set("useOpticalFlowTracking", 0, {0.0, 0.0}, 0);
    // Corners in pixels from the centre (60, 36), inside the flat quarter.
    host.parameters().set("analyzePoint1", 0, {-56.0, -32.0}, 0);
    host.parameters().set("analyzePoint2", 0, {-4.0, -4.0}, 0);
    host.renderContext().currentFrame = kRenderedFrame;
    int analysedMethod = -1;
    for (const Case& c : kCases) {
        host.parameters().setChoiceByValue("method", 0, c.method, 0);
        if (c.method != analysedMethod) {
            ASSERT_EQ(host.notify(7, "analyzeButton"), 1);
            ASSERT_NE(host.parameters().value("imageAnalysed", 0).x, 0.0);
            analysedMethod = c.method;
        }
        host.parameters().setChoiceByValue("numberOfFrames", 0, c.frames, 0);
        ASSERT_EQ(host.renderFrame(kRenderedFrame), 1);
        for (const std::string& line : host.gl()->lastStateDifferences()) ADD_FAILURE() << line;
        EXPECT_EQ(host.gl()->lentImages().outstanding(), 0) << "images not given back";
        EXPECT_EQ(host.hostErrors(), 0);
        const std::vector<float> out = host.gl()->readDestination();
        const Fingerprint got = fingerprint(out);
        std::printf("method %d, %d frame(s):", c.method, c.frames);
        for (double v : got) std::printf(" %.12g,", v);
        const double psnr = estimatedPsnr(got, c.recorded, out.size());
        std::printf("\n  %.1f dB from the recorded picture\n", psnr);
        EXPECT_GE(psnr, 60.0) << "method " << c.method << ", " << c.frames << " frame(s)";
    }
}

}  // namespace
