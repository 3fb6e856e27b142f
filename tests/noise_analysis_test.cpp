// The noise analysis: the local magnitude by hand on small tables, and the whole analysis on
// our host's context (the box, its layer and level counts, its mean, thresholds vs noise).
#include <GL/glew.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <random>
#include <stdexcept>
#include <vector>

#include "gl/host_image.h"
#include "params/parameter_ids.h"
#include "render/analysis_box.h"
#include "render/noise_analysis.h"
#include "render/noise_measure.h"
#include "render/render_settings.h"
#include "tests/plugin_gl_fixture.h"

namespace {

using Plugin::AnalysisResult;
using Plugin::LayerThresholds;
using Vec3 = Plugin::plugin_glsl_types::genVec3<float>;

// Frames and box images are 32-bit floats on our host, so means are nearly exact.
constexpr double kMeanTolerance = 1e-5;

struct Rgb {
    double r, g, b;
};

// The RGB step that moves U by 1 alone: the U column of the published inverse matrix.
constexpr Rgb kPureUStep{0.0, -0.39465, 2.03211};

// A frame of one colour per pixel, alpha 1, rows bottom up.
template <typename Colour>
std::vector<float> frameOf(int w, int h, Colour colourAt) {
    std::vector<float> rgba;
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const Rgb c = colourAt(x, y);
            rgba.insert(rgba.end(), {float(c.r), float(c.g), float(c.b), 1.0f});
        }
    }
    return rgba;
}

// Mid grey plus Gaussian noise along `direction` (same draws for every sigma), else per channel.
std::vector<float> noisy(int w, int h, double sigma, unsigned seed,
                         const Rgb* direction = nullptr) {
    std::mt19937 generator(seed);
    std::normal_distribution<double> noise(0.0, sigma);
    return frameOf(w, h, [&](int, int) {
        if (direction == nullptr) {
            const double r = noise(generator);
            const double g = noise(generator);
            return Rgb{0.5 + r, 0.5 + g, 0.5 + noise(generator)};
        }
        const double n = noise(generator);
        return Rgb{0.5 + n * direction->r, 0.5 + n * direction->g, 0.5 + n * direction->b};
    });
}

// A grey v is Y = v, U = V = 0 for any matrix whose Y row sums to 1 and U, V rows to 0.
void expectGreyMean(const Vec3& got, double v, double tolerance = kMeanTolerance) {
    EXPECT_NEAR(got.x, v, tolerance) << "Y";
    EXPECT_NEAR(got.y, 0.0, tolerance) << "U";
    EXPECT_NEAR(got.z, 0.0, tolerance) << "V";
}

// A result that an analysis must overwrite or leave exactly as it was.
AnalysisResult stale() {
    AnalysisResult r;
    r.layers.resize(3);
    r.layers[1].hh.push_back({7, 7, 7});
    r.meanColour = {9, 9, 9};
    return r;
}

// What an analysis that measured nothing leaves: no layers, the reset mean (mid-grey Y, V 0).
void expectReset(const AnalysisResult& r) {
    EXPECT_TRUE(r.layers.empty());
    EXPECT_EQ(r.meanColour.x, 0.5f);
    EXPECT_EQ(r.meanColour.z, 0.0f);
}

class NoiseAnalysis : public test::PluginGlTest {
protected:
    // A host whose clip holds these frames (each w x h RGBA), rendering frame `current`.
    void useClip(int w, int h, std::vector<std::vector<float>> frames, int current = 0) {
        startHost(w, h);
        std::vector<kestrel::Frame> clip;
        for (std::vector<float>& rgba : frames) clip.push_back({w, h, std::move(rgba)});
        host().gl()->setClip(std::move(clip));
        host().gl()->describeTo(host().renderContext());
        host().renderContext().currentFrame = current;
        host().renderContext().time = 0;
        host().gl()->beginCall();  // the new frame images
    }
    void setPoints(double x1, double y1, double x2, double y2) {
        host().parameters().set(Plugin::ids::kAnalyzePoint1, 0, {x1, y1}, 0);
        host().parameters().set(Plugin::ids::kAnalyzePoint2, 0, {x2, y2}, 0);
    }
    void setOffset(float x, float y) {
        host().renderContext().pointOffsetX = x;
        host().renderContext().pointOffsetY = y;
    }
    AnalysisResult analyse(AnalysisResult result = {}) {
        Plugin::analyzeNoise(call(), Plugin::readAnalysisSettings(call()), result);
        expectHostBindings();
        EXPECT_EQ(images().outstanding(), 0) << "every image given back before returning";
        return result;
    }
    const std::vector<int>& fetches() { return host().gl()->clip().requests(); }
};

// A w x h table of coefficients, every one (v, 0, 0, 0).
Plugin::TextureDataV4 table(int w, int h, float v = 0.0f) {
    Plugin::TextureDataV4 t(w, h);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) t.at(x, y).x = v;
    }
    return t;
}

// Weights 1 4 7 4 1 / 4 16 26 16 4 / 7 26 41 26 7 (mirrored), 273 in all, mean over 271: a
// lone 1 scores 41; clamped in a corner, 41 + 2 (26 + 7) + 16 + 2 4 + 1 = 132.
TEST(LocalMagnitude, HandComputedWeights) {
    Plugin::TextureDataV4 t = table(9, 9);
    t.at(4, 4).x = 1.0f;
    t.at(4, 4).y = -2.0f;  // magnitudes
    Vec3 e = Plugin::largestLocalMagnitude(t, 0, 0, 9, 9);
    EXPECT_NEAR(e.x, 41.0 / 271.0, 1e-7);
    EXPECT_NEAR(e.y, 82.0 / 271.0, 1e-7);
    EXPECT_EQ(e.z, 0.0f);
    // The region's corner at (4, 4): the clamped fetches all land on the lone 1.
    e = Plugin::largestLocalMagnitude(t, 4, 4, 5, 5);
    EXPECT_NEAR(e.x, 132.0 / 271.0, 1e-7);
    // A region beside it never sees it, though the 5 x 5 window would reach it.
    EXPECT_EQ(Plugin::largestLocalMagnitude(t, 5, 0, 4, 9).x, 0.0f);
    EXPECT_NEAR(Plugin::largestLocalMagnitude(table(6, 4, -0.5f), 0, 0, 6, 4).x,
                0.5 * 273.0 / 271.0, 1e-7);
    EXPECT_EQ(Plugin::largestLocalMagnitude(t, 3, 3, 0, 5).x, 0.0f) << "an empty region";
}

// An 8 x 4 table, each sub-band its own constant: level 1 splits at (4, 2), level 2 at (2, 1);
// level l's HH, LH and HL hold 3l - 2, 3l - 1 and 3l, the approximation 100.
TEST(LocalMagnitude, LevelsReadTheirSubBandsAndPadWithZeros) {
    Plugin::TextureDataV4 t(8, 4);
    for (int y = 0; y < 4; ++y) {
        for (int x = 0; x < 8; ++x) {
            const int l = x >= 4 || y >= 2 ? 1 : (x >= 2 || y >= 1 ? 2 : 3);
            const bool right = x >= (8 >> l), top = y >= (4 >> l);
            t.at(x, y).z = l == 3 ? 100.0f : float(3 * l - (right && top ? 2 : (right ? 1 : 0)));
        }
    }
    Plugin::LayerThresholds layer;
    Plugin::measureWaveletLevels(t, 2, layer);
    const std::vector<Vec3>* bands[3] = {&layer.hh, &layer.lh, &layer.hl};
    for (int b = 0; b < 3; ++b) {
        ASSERT_EQ(bands[b]->size(), 10u);
        for (int l = 1; l <= 10; ++l) {
            const float want = l <= 2 ? 273.0f / 271.0f * float(3 * l - 2 + b) : 0.0f;
            EXPECT_NEAR((*bands[b])[size_t(l - 1)].z, want, 1e-5) << "band " << b << " level " << l;
        }
    }
}

TEST(AnalysisBoxEdges, RoundToTheNearestPixelEdgeInEitherOrder) {
    // 96 x 64: the centre is at (48, 32).
    for (const Plugin::BoxEdges& box : {Plugin::boxEdges(96, 64, -40.3, -24.4, -23.7, -7.6),
                                        Plugin::boxEdges(96, 64, -23.7, -7.6, -40.3, -24.4)}) {
        EXPECT_EQ(box.left, 8);
        EXPECT_EQ(box.right, 24);
        EXPECT_EQ(box.bottom, 8);
        EXPECT_EQ(box.top, 24);
    }
    // Halves round up: floor(48 - 0.5 + 0.5) = 48.
    EXPECT_EQ(Plugin::boxEdges(96, 64, -0.5, 0, 0.5, 1).left, 48);
    EXPECT_EQ(Plugin::boxEdges(96, 64, -0.5, 0, 0.5, 1).right, 49);
}

TEST(AnalysisBoxEdges, EmptyOutsideAndUnusableCorners) {
    EXPECT_TRUE(Plugin::boxEdges(96, 64, 3, -10, 3, 10).empty());
    EXPECT_TRUE(Plugin::boxEdges(96, 64, -10, 2.2, 10, 2.4).empty());  // both round to 34
    EXPECT_FALSE(Plugin::boxEdges(96, 64, -64, -8, -48, 8).overlapsFrame(96, 64));    // right 0
    EXPECT_TRUE(Plugin::boxEdges(96, 64, -64, -8, -47, 8).overlapsFrame(96, 64));     // right 1
    EXPECT_FALSE(Plugin::boxEdges(96, 64, 48, 0, 60, 10).overlapsFrame(96, 64));      // left 96
    EXPECT_FALSE(Plugin::boxEdges(96, 64, -8, 32, 8, 40).overlapsFrame(96, 64));      // bottom 64
    EXPECT_FALSE(Plugin::boxEdges(96, 64, -8, -60, 8, -32.6).overlapsFrame(96, 64));  // top -1
    EXPECT_TRUE(Plugin::boxEdges(96, 64, -10, 7, 10, 7).empty());
    EXPECT_FALSE(Plugin::boxEdges(0, 0, -8, -8, 8, 8).overlapsFrame(0, 0));
    EXPECT_TRUE(Plugin::boxEdges(96, 64, std::nan(""), 0, 10, 10).empty());
    EXPECT_TRUE(Plugin::boxEdges(96, 64, 0, 0, 10, HUGE_VAL).empty());
    // Far corners stay representable: the size never overflows.
    const Plugin::BoxEdges far = Plugin::boxEdges(96, 64, -1e300, -1e300, 1e300, 1e300);
    EXPECT_GT(far.width(), 0);
    EXPECT_GT(far.height(), 0);
    EXPECT_TRUE(far.overlapsFrame(96, 64));
}

// 64 x 64 gives 4 measured layers of 5 levels; 12 x 40 gives 2 of 4, the width deciding.
TEST_F(NoiseAnalysis, LayerAndLevelCountsFollowTheBox) {
    const struct {
        double x1, y1, x2, y2;
        size_t layers, levels;
    } cases[] = {{-32, -32, 32, 32, 4, 5}, {-6, -20, 6, 20, 2, 4}};
    useClip(96, 64, {noisy(96, 64, 0.05, 11)});
    for (const auto& c : cases) {
        setPoints(c.x1, c.y1, c.x2, c.y2);
        const AnalysisResult r = analyse();
        ASSERT_EQ(r.layers.size(), c.layers);
        for (const LayerThresholds& layer : r.layers) {
            for (const auto* band : {&layer.hh, &layer.lh, &layer.hl}) {
                ASSERT_EQ(band->size(), 10u);
                for (size_t k = 0; k < 10; ++k) {
                    const Vec3& v = (*band)[k];
                    const float least = std::min({v.x, v.y, v.z});
                    const float most = std::max({v.x, v.y, v.z});
                    EXPECT_TRUE(k == 0 ? least > 0 : (k < c.levels ? least >= 0 : most == 0))
                        << "level " << k + 1 << ": " << least << " .. " << most;
                }
            }
        }
    }
    EXPECT_EQ(fetches(), (std::vector<int>{0, 0}));
}

// Premultiplied, as the host stores frames: the mean is the straight colour.
TEST_F(NoiseAnalysis, AUniformBoxHasNoNoiseAndItsOwnMean) {
    for (float alpha : {1.0f, 0.5f}) {
        std::vector<float> rgba;
        for (int i = 0; i < 64 * 64; ++i)
            rgba.insert(rgba.end(), {0.3f * alpha, 0.3f * alpha, 0.3f * alpha, alpha});
        useClip(64, 64, {rgba});
        setPoints(-20, -20, 20, 20);
        const AnalysisResult r = analyse(stale());
        ASSERT_EQ(r.layers.size(), 4u);
        for (const LayerThresholds& layer : r.layers) {
            for (const auto* band : {&layer.hh, &layer.lh, &layer.hl}) {
                ASSERT_EQ(band->size(), 10u);
                for (const Vec3& v : *band) EXPECT_NEAR(std::max({v.x, v.y, v.z}), 0.0f, 1e-5);
            }
        }
        expectGreyMean(r.meanColour, 0.3);
    }
}

// CreateImage throwing from its `failAt`-th call: a C++ host may throw through the table.
int gCreateCalls = 0;
int gFailAt = 0;
CreateImageFn gRealCreate = nullptr;
uint32_t createOrThrow(HostHandle host, const RenderContext* rc, int32_t w, int32_t h,
                       uint32_t internalFormat, uint32_t format, uint32_t type, int32_t r0,
                       int32_t r1, int32_t* tw, int32_t* th, int32_t flag) {
    if (++gCreateCalls >= gFailAt) throw std::runtime_error("out of images");
    return gRealCreate(host, rc, w, h, internalFormat, format, type, r0, r1, tw, th, flag);
}

TEST_F(NoiseAnalysis, AThrowMidwayGivesEverythingBack) {
    // Two box images, then one per analysed layer: fail at each in turn.
    for (int failAt = 1; failAt <= 4; ++failAt) {
        useClip(64, 64, {noisy(64, 64, 0.01, 1)});
        setPoints(-20, -20, 20, 20);
        gRealCreate = host().api().CreateImage;
        gCreateCalls = 0;
        gFailAt = failAt;
        host().api().CreateImage = &createOrThrow;
        AnalysisResult result{};
        EXPECT_THROW(Plugin::analyzeNoise(call(), Plugin::readAnalysisSettings(call()), result),
                     std::runtime_error)
            << "failing at image " << failAt;
        host().api().CreateImage = gRealCreate;
        expectHostBindings();
        EXPECT_EQ(images().outstanding(), 0) << "failing at image " << failAt;
    }
}

// Grey quadrants split at (48, 32); the box covers pixels 8 .. 23, the offset moves it.
TEST_F(NoiseAnalysis, ThePointOffsetMovesTheMeasuredBox) {
    const double greys[4] = {0.9, 0.1, 0.3, 0.7};
    useClip(96, 64, {frameOf(96, 64, [&](int x, int y) {
                const double v = greys[(x >= 48 ? 1 : 0) + (y >= 32 ? 2 : 0)];
                return Rgb{v, v, v};
            })});
    setPoints(-40.3, -24.4, -23.7, -7.6);
    const std::pair<float, float> offsets[] = {{0, 0}, {48, 0}, {0, 32}, {48, 32}};
    for (int q = 0; q < 4; ++q) {
        setOffset(offsets[q].first, offsets[q].second);
        expectGreyMean(analyse().meanColour, greys[q]);
    }
    // Columns 40 .. 55, eight each side; the offset is added before rounding, so 31.9 works.
    for (auto [x, y] : {std::pair{32.0f, 0.0f}, {31.9f, -0.05f}}) {
        setOffset(x, y);
        expectGreyMean(analyse().meanColour, 0.5);
    }
    EXPECT_EQ(fetches().size(), 6u);
}

// Linear (three times the noise, three times the threshold), U stays in U, coarser is less.
TEST_F(NoiseAnalysis, ThresholdsFollowTheNoiseInTheirOwnChannel) {
    AnalysisResult r[2];
    for (int i = 0; i < 2; ++i) {
        useClip(64, 64, {noisy(64, 64, i == 0 ? 0.02 : 0.06, 41, &kPureUStep)});
        setPoints(-32, -32, 32, 32);
        r[i] = analyse();
        ASSERT_EQ(r[i].layers.size(), 4u);
    }
    const LayerThresholds &quiet = r[0].layers[0], &loud = r[1].layers[0];
    for (auto [q, l] :
         {std::pair{&quiet.hh, &loud.hh}, {&quiet.lh, &loud.lh}, {&quiet.hl, &loud.hl}}) {
        EXPECT_GT((*q)[0].y, 0.001f);
        EXPECT_NEAR((*l)[0].y / (*q)[0].y, 3.0, 0.03);
    }
    for (size_t n = 0; n < 4; ++n) {
        const LayerThresholds& layer = r[1].layers[n];
        for (const auto* band : {&layer.hh, &layer.lh, &layer.hl}) {
            for (const Vec3& v : *band) {
                EXPECT_LT(std::max(v.x, v.z), 1e-3f * loud.hh[0].y) << "layer " << n;
            }
        }
        if (n > 0) {
            EXPECT_LT(layer.hh[0].y, r[1].layers[n - 1].hh[0].y) << "layer " << n;
        }
    }
    expectGreyMean(r[1].meanColour, 0.5, 0.01);
}

// A box one pixel across is averaged from its own pixels; grey 0.2 + 0.005 x + 0.004 y.
TEST_F(NoiseAnalysis, OnePixelWideOrHighBoxesHaveAFiniteMean) {
    useClip(96, 64, {frameOf(96, 64, [](int x, int y) {
                const double v = 0.2 + 0.005 * x + 0.004 * y;
                return Rgb{v, v, v};
            })});
    const struct {
        double x1, y1, x2, y2, mean;
    } boxes[] = {
        {-10, -16, -9, 16, 0.2 + 0.005 * 38 + 0.004 * 31.5},  // column 38, rows 16 .. 47
        {-16, -3, 16, -2, 0.2 + 0.005 * 47.5 + 0.004 * 29},   // row 29, columns 32 .. 63
        {0, 0, 1, 1, 0.2 + 0.005 * 48 + 0.004 * 32},          // the pixel (48, 32)
    };
    for (const auto& b : boxes) {
        setPoints(b.x1, b.y1, b.x2, b.y2);
        const AnalysisResult r = analyse(stale());
        EXPECT_TRUE(r.layers.empty()) << "a single layer, never measured";
        expectGreyMean(r.meanColour, b.mean);
    }
}

// Empty, wholly outside, or the current frame (1) undeliverable: the result is reset.
TEST_F(NoiseAnalysis, EmptyOrOutsideBoxesAndMissingFramesMeasureNothing) {
    useClip(96, 64, {noisy(96, 64, 0.05, 61)});
    for (const auto& b : {std::array{5.0, -10.0, 5.0, 10.0}, std::array{-8.0, -60.0, 8.0, -32.6}}) {
        setPoints(b[0], b[1], b[2], b[3]);  // zero width; below the frame
        expectReset(analyse(stale()));
    }
    EXPECT_TRUE(fetches().empty());
    useClip(64, 64, {noisy(64, 64, 0.05, 71), noisy(64, 64, 0.05, 72)}, 1);
    host().gl()->clip().injectFailure(1);
    setPoints(-8, -8, 8, 8);
    expectReset(analyse(stale()));
    EXPECT_EQ(fetches(), std::vector<int>{1});
}

TEST_F(NoiseAnalysis, WithoutARenderContextTheResultIsUntouched) {
    useClip(64, 64, {noisy(64, 64, 0.05, 81)});
    setPoints(-8, -8, 8, 8);
    host().renderContext().valid = 0;
    const AnalysisResult r = analyse(stale());
    host().renderContext().valid = 1;
    EXPECT_TRUE(fetches().empty());
    ASSERT_EQ(r.layers.size(), 3u);
    ASSERT_EQ(r.layers[1].hh.size(), 1u);
    EXPECT_EQ(r.layers[1].hh[0].x, 7.0f);
    EXPECT_EQ(r.meanColour.x, 9.0f);
    EXPECT_EQ(r.meanColour.z, 9.0f);
}

// Past the frame, clamp-to-edge repeats the outermost column.
TEST_F(NoiseAnalysis, ABoxPartlyOutsideRepeatsTheEdge) {
    useClip(96, 64, {frameOf(96, 64, [](int x, int) {
                const double v = x == 0 ? 0.8 : 0.1;
                return Rgb{v, v, v};
            })});
    setPoints(-64, -8, -47, 8);  // columns -16 .. 0
    const AnalysisResult r = analyse();
    ASSERT_EQ(r.layers.size(), 2u);
    EXPECT_GE(r.layers[0].hh[0].x, 0.0f) << "a number";
    expectGreyMean(r.meanColour, 0.8);
}

}  // namespace
