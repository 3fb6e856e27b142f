// The noise analysis, through the plug-in's own code on our host's context: the box taken
// from the clip's current frame, its layer and level counts, its mean colour, and the
// measured maxima against a plain reference of the 5 x 5 rule written here over
// coefficients the test reads back itself.
#include <GL/glew.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>
#include <vector>

#include "denoise/colour_conversion.h"
#include "denoise/wavelet_transform.h"
#include "gl/host_image.h"
#include "params/parameter_ids.h"
#include "render/analysis_box.h"
#include "render/frequency_pyramid.h"
#include "render/noise_analysis.h"
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

// The RGB step that moves U by 1 and leaves Y and V alone: the middle column of the inverse
// of the rows above, by cofactors.
Rgb pureUStep() {
    const double m[3][3] = {
        {0.299, 0.587, 0.114}, {-0.14713, -0.28886, 0.436}, {0.615, -0.51499, -0.10001}};
    const double det = m[0][0] * (m[1][1] * m[2][2] - m[1][2] * m[2][1]) -
                       m[0][1] * (m[1][0] * m[2][2] - m[1][2] * m[2][0]) +
                       m[0][2] * (m[1][0] * m[2][1] - m[1][1] * m[2][0]);
    return {-(m[0][1] * m[2][2] - m[0][2] * m[2][1]) / det,
            (m[0][0] * m[2][2] - m[0][2] * m[2][0]) / det,
            -(m[0][0] * m[2][1] - m[0][1] * m[2][0]) / det};
}

// Layers of a w x h box: the smallest L >= 1 with 2^(L+1) >= w or 2^(L+1) >= h.
int layerCountFor(int w, int h) {
    int layers = 1;
    while ((2 << layers) < w && (2 << layers) < h) ++layers;
    return layers;
}

// Wavelet levels measured for a box w wide: min(5, ceil(log2 w)).
int levelsFor(int w) {
    int levels = 0;
    while (levels < 5 && (1 << levels) < w) ++levels;
    return levels;
}

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

// The rule written out: the largest (1/271)-weighted 5 x 5 mean of |c| over the sub-band at
// (x0, y0) of size sw x sh, neighbours clamped into it; one channel of RGBA floats.
double referenceMaximum(const std::vector<float>& rgba, int stride, int x0, int y0, int sw, int sh,
                        int channel) {
    static const double w[5][5] = {{1, 4, 7, 4, 1},
                                   {4, 16, 26, 16, 4},
                                   {7, 26, 41, 26, 7},
                                   {4, 16, 26, 16, 4},
                                   {1, 4, 7, 4, 1}};
    double largest = 0;
    for (int y = y0; y < y0 + sh; ++y) {
        for (int x = x0; x < x0 + sw; ++x) {
            double e = 0;
            for (int j = -2; j <= 2; ++j) {
                for (int i = -2; i <= 2; ++i) {
                    const int sx = std::clamp(x + i, x0, x0 + sw - 1);
                    const int sy = std::clamp(y + j, y0, y0 + sh - 1);
                    e +=
                        w[j + 2][i + 2] * std::fabs(rgba[size_t((sy * stride + sx) * 4 + channel)]);
                }
            }
            largest = std::max(largest, e / 271.0);
        }
    }
    return largest;
}

float channel(const Vec3& v, int c) {
    return c == 0 ? v.x : (c == 1 ? v.y : v.z);
}

void expectMean(const Vec3& got, const Vec3& expected, double tolerance) {
    EXPECT_NEAR(got.x, expected.x, tolerance) << "Y";
    EXPECT_NEAR(got.y, expected.y, tolerance) << "U";
    EXPECT_NEAR(got.z, expected.z, tolerance) << "V";
}

bool allFinite(const AnalysisResult& r) {
    bool finite = std::isfinite(r.meanColour.x) && std::isfinite(r.meanColour.y) &&
                  std::isfinite(r.meanColour.z);
    for (const LayerThresholds& layer : r.layers) {
        for (const auto* band : {&layer.hh, &layer.lh, &layer.hl}) {
            for (const Vec3& v : *band) {
                finite = finite && std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z);
            }
        }
    }
    return finite;
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
        Plugin::analyzeNoise(call(), result);
        expectHostBindings();
        EXPECT_EQ(images().outstanding(), 0) << "every image given back before returning";
        return result;
    }
    const std::vector<int>& fetches() { return host().gl()->clip().requests(); }

    // Coefficients of every measured layer of the whole source frame as one box, through
    // the same GPU steps as the analysis, read back by the host.
    struct Coefficients {
        int width = 0, height = 0;
        std::vector<float> rgba;
    };
    std::vector<Coefficients> wholeFrameCoefficients(int w, int h) {
        HostImage a = Plugin::makeImageLike(call(), w, h, true, 1);
        Plugin::renderRGBToYUV(call(), *host().renderContext().source, a);
        HostImage b = Plugin::makeImageLike(call(), w, h, true, 1);
        const int layers = layerCountFor(w, h);
        Plugin::decomposeFrequenciesInto(call(), a, b, layers);
        std::vector<Coefficients> out;
        for (int n = 0; n + 1 < layers; ++n) {
            const HostImage k = Plugin::analysisForwardTransform(call(), b, n);
            out.push_back({k.width, k.height, read(k)});
            glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, 0, 0);
            release(k);
        }
        release(a);
        release(b);
        return out;
    }
};

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

// 64 x 64: 2^6 >= 64 first at L = 5, so 4 measured layers of min(5, log2 64) = 5 levels.
TEST_F(NoiseAnalysis, A64BoxGivesFourLayersOfFiveLevelsAndFiveZeros) {
    useClip(96, 64, {noisyColour(96, 64, 0.05, 11)});
    setPoints(-32, -32, 32, 32);
    const int layers = layerCountFor(64, 64);
    const int levels = levelsFor(64);
    ASSERT_EQ(layers - 1, 4);
    ASSERT_EQ(levels, 5);
    const AnalysisResult r = analyse();
    EXPECT_EQ(fetches(), std::vector<int>{0});
    ASSERT_EQ(int(r.layers.size()), layers - 1);
    EXPECT_TRUE(allFinite(r));
    for (int n = 0; n < layers - 1; ++n) {
        const LayerThresholds& layer = r.layers[size_t(n)];
        for (const auto* band : {&layer.hh, &layer.lh, &layer.hl}) {
            ASSERT_EQ(band->size(), 10u) << "layer " << n;
            for (int c = 0; c < 3; ++c) {
                EXPECT_GT(channel((*band)[0], c), 0.0f) << "layer " << n << " channel " << c;
                for (int k = 0; k < levels; ++k) {
                    EXPECT_GE(channel((*band)[size_t(k)], c), 0.0f);
                }
                for (int k = levels; k < 10; ++k) {
                    EXPECT_EQ(channel((*band)[size_t(k)], c), 0.0f) << "level " << k + 1;
                }
            }
        }
    }
}

TEST_F(NoiseAnalysis, MaximaMatchAReferenceOverTheCoefficients) {
    constexpr int w = 64, h = 48;
    useClip(w, h, {noisyColour(w, h, 0.08, 21)});
    setPoints(-32, 24, 32, -24);  // the whole frame
    const AnalysisResult r = analyse();
    const std::vector<Coefficients> layers = wholeFrameCoefficients(w, h);
    ASSERT_EQ(r.layers.size(), layers.size());
    ASSERT_EQ(layers.size(), size_t(layerCountFor(w, h) - 1));
    const int levels = levelsFor(w);
    for (size_t n = 0; n < layers.size(); ++n) {
        const Coefficients& k = layers[n];
        int lw = k.width;
        int lh = k.height;
        for (int level = 1; level <= levels; ++level) {
            const int w2 = lw / 2;
            const int h2 = lh / 2;
            // HH upper right, LH lower right, HL upper left.
            const int x0[3] = {w2, w2, 0};
            const int y0[3] = {h2, 0, h2};
            const int sw[3] = {lw - w2, lw - w2, w2};
            const int sh[3] = {lh - h2, h2, lh - h2};
            const std::vector<Vec3>* got[3] = {&r.layers[n].hh, &r.layers[n].lh, &r.layers[n].hl};
            for (int band = 0; band < 3; ++band) {
                ASSERT_EQ(got[band]->size(), 10u);
                for (int c = 0; c < 3; ++c) {
                    const double expected = referenceMaximum(k.rgba, k.width, x0[band], y0[band],
                                                             sw[band], sh[band], c);
                    const float measured = channel((*got[band])[size_t(level - 1)], c);
                    EXPECT_NEAR(measured, expected, 1e-6 + 1e-5 * expected)
                        << "layer " << n << " level " << level << " band " << band << " channel "
                        << c;
                    if (level == 1) {
                        EXPECT_GT(expected, 1e-4) << "noise leaves detail in every layer";
                    }
                }
            }
            lw = w2;
            lh = h2;
        }
    }
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
        ASSERT_EQ(int(r.layers.size()), layerCountFor(40, 40) - 1);
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

TEST_F(NoiseAnalysis, CornersInEitherOrderGiveTheSameResult) {
    useClip(64, 64, {noisyColour(64, 64, 0.05, 31)});
    setPoints(-20, 12, 12, -20);
    const AnalysisResult a = analyse();
    setPoints(-20, -20, 12, 12);  // the other diagonal
    const AnalysisResult b = analyse();
    ASSERT_EQ(a.layers.size(), b.layers.size());
    ASSERT_EQ(a.layers.size(), size_t(layerCountFor(32, 32) - 1));
    for (size_t n = 0; n < a.layers.size(); ++n) {
        for (size_t k = 0; k < 10; ++k) {
            EXPECT_EQ(a.layers[n].hh[k].x, b.layers[n].hh[k].x);
            EXPECT_EQ(a.layers[n].lh[k].y, b.layers[n].lh[k].y);
            EXPECT_EQ(a.layers[n].hl[k].z, b.layers[n].hl[k].z);
        }
    }
    EXPECT_EQ(a.meanColour.x, b.meanColour.x);
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
    for (int band = 0; band < 3; ++band) {
        const Vec3& q = band == 0 ? quiet.layers[0].hh[0]
                                  : (band == 1 ? quiet.layers[0].lh[0] : quiet.layers[0].hl[0]);
        const Vec3& l = band == 0 ? loud.layers[0].hh[0]
                                  : (band == 1 ? loud.layers[0].lh[0] : loud.layers[0].hl[0]);
        EXPECT_GT(q.x, 0.001f) << "band " << band;
        EXPECT_GT(l.x, q.x) << "band " << band;
        EXPECT_NEAR(l.x / q.x, 3.0, 0.03) << "band " << band;
    }
    // Grey noise has no colour.
    EXPECT_LT(loud.layers[0].hh[0].y, 1e-3f * loud.layers[0].hh[0].x);
    EXPECT_LT(loud.layers[0].hh[0].z, 1e-3f * loud.layers[0].hh[0].x);
}

TEST_F(NoiseAnalysis, NoiseOnlyInULeavesYAndVAtZero) {
    useClip(64, 64, {noisyGrey(64, 64, 0.05, pureUStep(), 51)});
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
    EXPECT_EQ(int(column.layers.size()), layerCountFor(1, 32) - 1);
    EXPECT_TRUE(allFinite(column));
    expectMean(column.meanColour, yuvOf(meanOver(38, 39, 16, 48)), kMeanTolerance);

    setPoints(-16, -3, 16, -2);  // row 29, columns 32 .. 63
    const AnalysisResult row = analyse(stale());
    EXPECT_EQ(int(row.layers.size()), layerCountFor(32, 1) - 1);
    EXPECT_TRUE(allFinite(row));
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
    EXPECT_EQ(int(r.layers.size()), layerCountFor(17, 16) - 1);
    EXPECT_TRUE(allFinite(r));
    expectMean(r.meanColour, yuvOf(colourAt(0, 0)), kMeanTolerance);
}

TEST_F(NoiseAnalysis, MeasuresTheCurrentFrameOfTheClip) {
    const Rgb first{0.2, 0.2, 0.2};
    const Rgb second{0.1, 0.5, 0.9};
    useClip(64, 64,
            {frameOf(64, 64, [&](int, int) { return first; }),
             frameOf(64, 64, [&](int, int) { return second; })},
            1);
    setPoints(-8, -8, 8, 8);
    const AnalysisResult r = analyse();
    EXPECT_EQ(fetches(), std::vector<int>{1});
    expectMean(r.meanColour, yuvOf(second), kMeanTolerance);
}

TEST_F(NoiseAnalysis, AFrameTheHostCannotDeliverLeavesTheResultReset) {
    useClip(64, 64, {noisyColour(64, 64, 0.05, 71)});
    host().gl()->clip().injectFailure(0);
    setPoints(-8, -8, 8, 8);
    const AnalysisResult r = analyse(stale());
    EXPECT_EQ(fetches(), std::vector<int>{0});
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
