// The noise analysis: the local magnitude it measures, worked out by hand on small
// coefficient tables, and the whole analysis through the plug-in's own code on our host's
// context: the box taken from the clip's current frame, its layer and level counts, its mean
// colour, and how the measured thresholds follow the noise put in.
#include <GL/glew.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>
#include <stdexcept>
#include <vector>

#include "denoise/colour_conversion.h"
#include "denoise/wavelet_transform.h"
#include "gl/host_image.h"
#include "params/parameter_ids.h"
#include "render/analysis_box.h"
#include "render/frequency_pyramid.h"
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

// BT.601 analogue rows.
Vec3 yuvOf(const Rgb& c) {
    return {float(0.299 * c.r + 0.587 * c.g + 0.114 * c.b),
            float(-0.14713 * c.r - 0.28886 * c.g + 0.436 * c.b),
            float(0.615 * c.r - 0.51499 * c.g - 0.10001 * c.b)};
}

// The RGB step that moves U by 1 and leaves Y and V alone: the U column of the published
// inverse matrix.
constexpr Rgb kPureUStep{0.0, -0.39465, 2.03211};

// A frame of one colour per pixel, alpha 1, rows bottom up.
template <typename Colour>
std::vector<float> frameOf(int w, int h, Colour colourAt) {
    std::vector<float> rgba;
    rgba.reserve(size_t(4 * w * h));
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const Rgb c = colourAt(x, y);
            rgba.insert(rgba.end(), {float(c.r), float(c.g), float(c.b), 1.0f});
        }
    }
    return rgba;
}

// Mid grey plus Gaussian noise of `sigma` along `direction`, the same draws for every sigma.
std::vector<float> noisyGrey(int w, int h, double sigma, Rgb direction, unsigned seed) {
    std::mt19937 generator(seed);
    std::normal_distribution<double> noise(0.0, 1.0);
    return frameOf(w, h, [&](int, int) {
        const double n = sigma * noise(generator);
        return Rgb{0.5 + n * direction.r, 0.5 + n * direction.g, 0.5 + n * direction.b};
    });
}

// Grey plus independent Gaussian noise in each of R, G and B.
std::vector<float> noisyColour(int w, int h, double sigma, unsigned seed) {
    std::mt19937 generator(seed);
    std::normal_distribution<double> noise(0.0, sigma);
    return frameOf(w, h, [&](int, int) {
        const double r = noise(generator);
        const double g = noise(generator);
        const double b = noise(generator);
        return Rgb{0.5 + r, 0.5 + g, 0.5 + b};
    });
}

float channel(const Vec3& v, int c) {
    return c == 0 ? v.x : (c == 1 ? v.y : v.z);
}

void expectMean(const Vec3& got, const Vec3& expected, double tolerance) {
    EXPECT_NEAR(got.x, expected.x, tolerance) << "Y";
    EXPECT_NEAR(got.y, expected.y, tolerance) << "U";
    EXPECT_NEAR(got.z, expected.z, tolerance) << "V";
}

// A result that an analysis must overwrite or leave exactly as it was.
AnalysisResult stale() {
    AnalysisResult r;
    r.layers.resize(3);
    r.layers[1].hh.push_back({7, 7, 7});
    r.meanColour = {9, 9, 9};
    return r;
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
        // The clip came with new frame images: the call starts again from them.
        host().gl()->beginCall();
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

// The 5 x 5 weights are 1 4 7 4 1 / 4 16 26 16 4 / 7 26 41 26 7 (mirrored), 273 in all, and
// the mean divides by 271. A lone 1 scores its own centre weight; in a corner, with the
// neighbours clamped into the region, it stands in for the 3 x 3 block 41 + 2 (26 + 7) +
// 16 + 2 4 + 1 = 132; a constant scores 273/271 of itself.
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

// An 8 x 4 table whose sub-bands each hold their own constant: level 1 splits it at
// (4, 2), level 2 splits the lower-left 4 x 2 at (2, 1); what is left is the approximation.
TEST(LocalMagnitude, LevelsReadTheirSubBandsAndPadWithZeros) {
    Plugin::TextureDataV4 t(8, 4);
    for (int y = 0; y < 4; ++y) {
        for (int x = 0; x < 8; ++x) {
            float v = 0;
            if (x >= 4 || y >= 2) {
                v = x >= 4 && y >= 2 ? 1.0f : (x >= 4 ? 2.0f : 3.0f);  // HH, LH, HL
            } else if (x >= 2 || y >= 1) {
                v = x >= 2 && y >= 1 ? 4.0f : (x >= 2 ? 5.0f : 6.0f);
            } else {
                v = 100.0f;
            }
            t.at(x, y).z = v;
        }
    }
    Plugin::LayerThresholds layer;
    Plugin::measureWaveletLevels(t, 2, layer);
    ASSERT_EQ(layer.hh.size(), 10u);
    ASSERT_EQ(layer.lh.size(), 10u);
    ASSERT_EQ(layer.hl.size(), 10u);
    const float k = 273.0f / 271.0f;
    const float expected[2][3] = {{1, 2, 3}, {4, 5, 6}};
    for (int level = 0; level < 2; ++level) {
        EXPECT_NEAR(layer.hh[size_t(level)].z, k * expected[level][0], 1e-5) << level;
        EXPECT_NEAR(layer.lh[size_t(level)].z, k * expected[level][1], 1e-5) << level;
        EXPECT_NEAR(layer.hl[size_t(level)].z, k * expected[level][2], 1e-5) << level;
    }
    for (size_t level = 2; level < 10; ++level) {
        EXPECT_EQ(layer.hh[level].z + layer.lh[level].z + layer.hl[level].z, 0.0f) << level;
    }
}

TEST(AnalysisBoxEdges, RoundToTheNearestPixelEdgeInEitherOrder) {
    // 96 x 64: the centre is at (48, 32).
    const Plugin::BoxEdges box = Plugin::boxEdges(96, 64, -40.3, -24.4, -23.7, -7.6);
    EXPECT_EQ(box.left, 8);
    EXPECT_EQ(box.right, 24);
    EXPECT_EQ(box.bottom, 8);
    EXPECT_EQ(box.top, 24);
    const Plugin::BoxEdges swapped = Plugin::boxEdges(96, 64, -23.7, -24.4, -40.3, -7.6);
    EXPECT_EQ(swapped.left, 8);
    EXPECT_EQ(swapped.right, 24);
    EXPECT_EQ(swapped.bottom, 8);
    EXPECT_EQ(swapped.top, 24);
    // Halves round up: floor(48 - 0.5 + 0.5) = 48.
    EXPECT_EQ(Plugin::boxEdges(96, 64, -0.5, 0, 0.5, 1).left, 48);
    EXPECT_EQ(Plugin::boxEdges(96, 64, -0.5, 0, 0.5, 1).right, 49);
}

TEST(AnalysisBoxEdges, EmptyOutsideAndUnusableCorners) {
    EXPECT_TRUE(Plugin::boxEdges(96, 64, 3, -10, 3, 10).empty());
    EXPECT_TRUE(Plugin::boxEdges(96, 64, -10, 2.2, 10, 2.4).empty());  // both round to 34
    EXPECT_FALSE(Plugin::boxEdges(96, 64, -64, -8, -48, 8).overlapsFrame(96, 64));  // right 0
    EXPECT_TRUE(Plugin::boxEdges(96, 64, -64, -8, -47, 8).overlapsFrame(96, 64));   // right 1
    EXPECT_FALSE(Plugin::boxEdges(96, 64, 100, 0, 120, 10).overlapsFrame(96, 64));
    EXPECT_FALSE(Plugin::boxEdges(96, 64, -8, 32, 8, 40).overlapsFrame(96, 64));  // bottom 64
    EXPECT_FALSE(Plugin::boxEdges(0, 0, -8, -8, 8, 8).overlapsFrame(0, 0));
    const double nan = std::numeric_limits<double>::quiet_NaN();
    EXPECT_TRUE(Plugin::boxEdges(96, 64, nan, 0, 10, 10).empty());
    EXPECT_TRUE(Plugin::boxEdges(96, 64, 0, 0, 10, HUGE_VAL).empty());
    // Far corners stay representable: the size never overflows.
    const Plugin::BoxEdges far = Plugin::boxEdges(96, 64, -1e300, -1e300, 1e300, 1e300);
    EXPECT_GT(far.width(), 0);
    EXPECT_GT(far.height(), 0);
    EXPECT_TRUE(far.overlapsFrame(96, 64));
}

// A box w x h has L layers, L the smallest with 2^(L+1) >= w or >= h, of which all but the
// coarsest are measured, each over min(5, ceil(log2 w)) levels and zero beyond: 64 x 64
// gives 4 layers of 5 levels; 12 x 40 gives 2 layers of 4, the width deciding.
TEST_F(NoiseAnalysis, LayerAndLevelCountsFollowTheBox) {
    struct Case {
        double x1, y1, x2, y2;
        size_t layers;
        int levels;
    };
    useClip(96, 64, {noisyColour(96, 64, 0.05, 11)});
    for (const Case& c : {Case{-32, -32, 32, 32, 4, 5}, Case{-6, -20, 6, 20, 2, 4}}) {
        setPoints(c.x1, c.y1, c.x2, c.y2);
        const AnalysisResult r = analyse();
        ASSERT_EQ(r.layers.size(), c.layers);
        for (size_t n = 0; n < c.layers; ++n) {
            const LayerThresholds& layer = r.layers[n];
            for (const auto* band : {&layer.hh, &layer.lh, &layer.hl}) {
                ASSERT_EQ(band->size(), 10u) << "layer " << n;
                for (int k = 0; k < 10; ++k) {
                    for (int ch = 0; ch < 3; ++ch) {
                        const float v = channel((*band)[size_t(k)], ch);
                        if (k == 0) {
                            EXPECT_GT(v, 0.0f) << "layer " << n << " level 1";
                        } else if (k < c.levels) {  // small layers may run out of texels
                            EXPECT_GE(v, 0.0f) << "layer " << n << " level " << k + 1;
                        } else {
                            EXPECT_EQ(v, 0.0f) << "layer " << n << " level " << k + 1;
                        }
                    }
                }
            }
        }
    }
    EXPECT_EQ(fetches(), (std::vector<int>{0, 0}));
}

TEST_F(NoiseAnalysis, AUniformBoxHasNoNoiseAndItsOwnMean) {
    const Rgb straight{0.6, 0.3, 0.2};
    for (float alpha : {1.0f, 0.5f}) {
        // Premultiplied, as the host stores frames.
        std::vector<float> rgba;
        for (int i = 0; i < 64 * 64; ++i) {
            rgba.insert(rgba.end(), {float(straight.r) * alpha, float(straight.g) * alpha,
                                     float(straight.b) * alpha, alpha});
        }
        useClip(64, 64, {rgba});
        setPoints(-20, -20, 20, 20);
        const AnalysisResult r = analyse(stale());
        ASSERT_EQ(r.layers.size(), 4u);
        for (const LayerThresholds& layer : r.layers) {
            for (const auto* band : {&layer.hh, &layer.lh, &layer.hl}) {
                ASSERT_EQ(band->size(), 10u);
                for (const Vec3& v : *band) {
                    EXPECT_NEAR(v.x, 0.0f, 1e-5);
                    EXPECT_NEAR(v.y, 0.0f, 1e-5);
                    EXPECT_NEAR(v.z, 0.0f, 1e-5);
                }
            }
        }
        expectMean(r.meanColour, yuvOf(straight), kMeanTolerance);
    }
}

// The host's CreateImage, failing with an exception from its `failAt`-th call on: a C++
// host may throw through the table, and the analysis must still give back what it was lent
// and put the host's bindings back on the way out.
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
    std::vector<float> grey;
    for (int i = 0; i < 64 * 64; ++i) grey.insert(grey.end(), {0.5f, 0.5f, 0.5f, 1.0f});
    // The analysis makes two box images, then one per analysed layer: fail at each in turn.
    for (int failAt = 1; failAt <= 4; ++failAt) {
        useClip(64, 64, {grey});
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

// Quadrants split at x = 48 and y = 32; the box covers pixels 8 .. 23 both ways, and the
// point offset moves it over the other quadrants.
TEST_F(NoiseAnalysis, ThePointOffsetMovesTheMeasuredBox) {
    const Rgb colours[4] = {{0.9, 0.1, 0.1}, {0.1, 0.8, 0.2}, {0.2, 0.3, 0.9}, {0.7, 0.7, 0.1}};
    useClip(96, 64, {frameOf(96, 64, [&](int x, int y) {
                return colours[(x >= 48 ? 1 : 0) + (y >= 32 ? 2 : 0)];
            })});
    setPoints(-40.3, -24.4, -23.7, -7.6);
    expectMean(analyse().meanColour, yuvOf(colours[0]), kMeanTolerance);
    setOffset(48, 0);
    expectMean(analyse().meanColour, yuvOf(colours[1]), kMeanTolerance);
    setOffset(0, 32);
    expectMean(analyse().meanColour, yuvOf(colours[2]), kMeanTolerance);
    setOffset(48, 32);
    expectMean(analyse().meanColour, yuvOf(colours[3]), kMeanTolerance);

    // Columns 40 .. 55: eight on each side of the split. One column off either way would
    // weigh the halves 7 : 9.
    setOffset(32, 0);
    const Vec3 left = yuvOf(colours[0]);
    const Vec3 right = yuvOf(colours[1]);
    const Vec3 half = {(left.x + right.x) / 2, (left.y + right.y) / 2, (left.z + right.z) / 2};
    expectMean(analyse().meanColour, half, kMeanTolerance);
    // The offset joins the points before the edges are rounded: 31.9 lands on the same
    // columns, where 31 would not.
    setOffset(31.9f, -0.05f);
    expectMean(analyse().meanColour, half, kMeanTolerance);
    EXPECT_EQ(fetches().size(), 6u);
}

// Everything between the frame and the measurement is linear, so the same noise drawn
// three times as large measures three times as large.
TEST_F(NoiseAnalysis, MoreNoiseGivesLargerThresholds) {
    const Rgb grey{1, 1, 1};
    useClip(64, 64, {noisyGrey(64, 64, 0.02, grey, 41)});
    setPoints(-32, -32, 32, 32);
    const AnalysisResult quiet = analyse();
    useClip(64, 64, {noisyGrey(64, 64, 0.06, grey, 41)});
    setPoints(-32, -32, 32, 32);
    const AnalysisResult loud = analyse();
    ASSERT_FALSE(quiet.layers.empty());
    ASSERT_EQ(quiet.layers.size(), loud.layers.size());
    const Vec3* q[3] = {&quiet.layers[0].hh[0], &quiet.layers[0].lh[0], &quiet.layers[0].hl[0]};
    const Vec3* l[3] = {&loud.layers[0].hh[0], &loud.layers[0].lh[0], &loud.layers[0].hl[0]};
    for (int band = 0; band < 3; ++band) {
        EXPECT_GT(q[band]->x, 0.001f) << "band " << band;
        EXPECT_NEAR(l[band]->x / q[band]->x, 3.0, 0.03) << "band " << band;
    }
    // Grey noise has no colour.
    EXPECT_LT(loud.layers[0].hh[0].y, 1e-3f * loud.layers[0].hh[0].x);
    EXPECT_LT(loud.layers[0].hh[0].z, 1e-3f * loud.layers[0].hh[0].x);
    // White noise lives mostly in the finest layer: each coarser one measures less.
    for (size_t n = 1; n < loud.layers.size(); ++n) {
        EXPECT_LT(loud.layers[n].hh[0].x, loud.layers[n - 1].hh[0].x) << "layer " << n;
    }
}

TEST_F(NoiseAnalysis, NoiseOnlyInULeavesYAndVAtZero) {
    useClip(64, 64, {noisyGrey(64, 64, 0.05, kPureUStep, 51)});
    setPoints(-32, -32, 32, 32);
    const AnalysisResult r = analyse();
    ASSERT_EQ(r.layers.size(), 4u);
    float largestU = 0;
    for (const LayerThresholds& layer : r.layers) {
        for (const auto* band : {&layer.hh, &layer.lh, &layer.hl}) {
            for (const Vec3& v : *band) largestU = std::max(largestU, v.y);
        }
    }
    EXPECT_GT(r.layers[0].hh[0].y, 0.01f);
    for (const LayerThresholds& layer : r.layers) {
        for (const auto* band : {&layer.hh, &layer.lh, &layer.hl}) {
            for (const Vec3& v : *band) {
                EXPECT_LT(v.x, 1e-3f * largestU);
                EXPECT_LT(v.z, 1e-3f * largestU);
            }
        }
    }
    expectMean(r.meanColour, yuvOf({0.5, 0.5, 0.5}), 0.01);
}

// A box one pixel across has no texel in that direction at its mean level; its mean is
// taken from its own pixels instead.
TEST_F(NoiseAnalysis, OnePixelWideOrHighBoxesHaveAFiniteMean) {
    auto colourAt = [](int x, int y) {
        return Rgb{0.2 + 0.005 * x, 0.3 + 0.004 * y, 0.1 + 0.003 * (x + y)};
    };
    useClip(96, 64, {frameOf(96, 64, colourAt)});
    auto meanOver = [&](int x0, int x1, int y0, int y1) {
        Rgb sum{0, 0, 0};
        for (int y = y0; y < y1; ++y) {
            for (int x = x0; x < x1; ++x) {
                const Rgb c = colourAt(x, y);
                sum = {sum.r + c.r, sum.g + c.g, sum.b + c.b};
            }
        }
        const double count = double((x1 - x0) * (y1 - y0));
        return Rgb{sum.r / count, sum.g / count, sum.b / count};
    };

    setPoints(-10, -16, -9, 16);  // column 38, rows 16 .. 47
    const AnalysisResult column = analyse(stale());
    EXPECT_TRUE(column.layers.empty()) << "a single layer, never measured";
    expectMean(column.meanColour, yuvOf(meanOver(38, 39, 16, 48)), kMeanTolerance);

    setPoints(-16, -3, 16, -2);  // row 29, columns 32 .. 63
    const AnalysisResult row = analyse(stale());
    EXPECT_TRUE(row.layers.empty());
    expectMean(row.meanColour, yuvOf(meanOver(32, 64, 29, 30)), kMeanTolerance);

    setPoints(0, 0, 1, 1);  // the single pixel (48, 32)
    const AnalysisResult pixel = analyse(stale());
    EXPECT_TRUE(pixel.layers.empty());
    expectMean(pixel.meanColour, yuvOf(colourAt(48, 32)), kMeanTolerance);
}

// Empty or wholly outside: nothing fetched, nothing lent, no layers, the reset mean
// (mid-grey Y, V 0).
TEST_F(NoiseAnalysis, EmptyBoxesAndBoxesOutsideTheFrameMeasureNothing) {
    useClip(96, 64, {noisyColour(96, 64, 0.05, 61)});
    const double boxes[][4] = {
        {5, -10, 5, 10},      // zero width
        {-10, 7, 10, 7},      // zero height
        {100, 0, 120, 10},    // right of the frame
        {-64, -8, -48, 8},    // ends at the left edge
        {-8, -60, 8, -32.6},  // below the frame
    };
    for (const auto& b : boxes) {
        setPoints(b[0], b[1], b[2], b[3]);
        const AnalysisResult r = analyse(stale());
        EXPECT_TRUE(r.layers.empty()) << b[0] << ", " << b[1];
        EXPECT_EQ(r.meanColour.x, 0.5f);
        EXPECT_EQ(r.meanColour.z, 0.0f);
    }
    EXPECT_TRUE(fetches().empty());
}

// A box reaching past the frame is measured as drawn: clamp-to-edge repeats the frame's
// outermost column into the part outside.
TEST_F(NoiseAnalysis, ABoxPartlyOutsideRepeatsTheEdge) {
    auto colourAt = [](int x, int) { return Rgb{x == 0 ? 0.8 : 0.1, 0.4, 0.3}; };
    useClip(96, 64, {frameOf(96, 64, colourAt)});
    setPoints(-64, -8, -47, 8);  // columns -16 .. 0
    const AnalysisResult r = analyse();
    ASSERT_EQ(r.layers.size(), 2u);
    EXPECT_GE(r.layers[0].hh[0].x, 0.0f) << "a number";
    expectMean(r.meanColour, yuvOf(colourAt(0, 0)), kMeanTolerance);
}

// The current frame (1) is the one asked for.
TEST_F(NoiseAnalysis, AFrameTheHostCannotDeliverLeavesTheResultReset) {
    useClip(64, 64, {noisyColour(64, 64, 0.05, 71), noisyColour(64, 64, 0.05, 72)}, 1);
    host().gl()->clip().injectFailure(1);
    setPoints(-8, -8, 8, 8);
    const AnalysisResult r = analyse(stale());
    EXPECT_EQ(fetches(), std::vector<int>{1});
    EXPECT_TRUE(r.layers.empty());
    EXPECT_EQ(r.meanColour.x, 0.5f);
    EXPECT_EQ(r.meanColour.z, 0.0f);
}

TEST_F(NoiseAnalysis, WithoutARenderContextTheResultIsUntouched) {
    useClip(64, 64, {noisyColour(64, 64, 0.05, 81)});
    setPoints(-8, -8, 8, 8);
    host().renderContext().valid = 0;
    const AnalysisResult r = analyse(stale());
    host().renderContext().valid = 1;
    EXPECT_TRUE(fetches().empty());
    ASSERT_EQ(r.layers.size(), 3u);
    ASSERT_EQ(r.layers[1].hh.size(), 1u);
    EXPECT_EQ(r.layers[1].hh[0].x, 7.0f);
    EXPECT_EQ(r.meanColour.x, 9.0f);
    EXPECT_EQ(r.meanColour.y, 9.0f);
    EXPECT_EQ(r.meanColour.z, 9.0f);
}

}  // namespace
