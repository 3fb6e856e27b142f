// The temporal Haar transform over a window of frame pyramids, through the plug-in's own
// code on a real context of our host. Expected values are hand-computed, come from the
// closed-form orthonormal Haar basis written here, or from forward-then-inverse and the
// energy an orthonormal transform keeps.
#include <GL/glew.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "gl/host_image.h"
#include "render/frame_pyramid.h"
#include "render/temporal_transform.h"
#include "tests/plugin_gl_fixture.h"

namespace {

constexpr int kWidth = 16;
constexpr int kHeight = 8;
// Levels 0..2 are transformed (16 x 8, 8 x 4, 4 x 2); level 3 (2 x 1) is the residual.
constexpr int kLayers = 3;

int texelsAt(int level) {
    return (kWidth >> level) * (kHeight >> level);
}

// One frame's RGBA texels, level by level, the residual level last.
using Frame = std::vector<std::vector<float>>;

// Random frame in [-1, 1] on multiples of 1/256, which half floats hold exactly, so the
// reference starts from what the GPU stores. Alpha in (0, 1].
Frame randomFrame(unsigned seed) {
    Frame frame;
    for (int level = 0; level <= kLayers; ++level) {
        std::vector<float> rgba = test::randomRgba(kWidth >> level, kHeight >> level,
                                                   seed * 16 + unsigned(level), -1.0f, 1.0f);
        for (size_t i = 0; i < rgba.size(); ++i) {
            rgba[i] = std::round(rgba[i] * 256.0f) / 256.0f;
            if (i % 4 == 3) rgba[i] = std::fabs(rgba[i]) + 1.0f / 256.0f;
        }
        frame.push_back(std::move(rgba));
    }
    return frame;
}

// Every texel of every level (r, g, b, a), the residual level its own.
Frame constantFrame(float r, float g, float b, float a, float residual) {
    Frame frame;
    for (int level = 0; level <= kLayers; ++level) {
        const float v = level < kLayers ? 1.0f : 0.0f;
        std::vector<float> rgba;
        for (int i = 0; i < texelsAt(level); ++i) {
            rgba.insert(rgba.end(), {v * r + (1 - v) * residual, v * g + (1 - v) * residual,
                                     v * b + (1 - v) * residual, a});
        }
        frame.push_back(std::move(rgba));
    }
    return frame;
}

// How images are stored: the host's destination format (32-bit float) as the default
// template, or half float from the plain template, as the editor's 8-bit frames give.
struct Format {
    const char* name;
    uint32_t templateMode;
    double epsilon;  // a stored value's spacing is at most epsilon times its size
};
constexpr Format kFloat{"RGBA32F", 0, 0x1p-23};
constexpr Format kHalf{"RGBA16F", 1, 0x1p-10};

// How far a value may end from exact after some forward stages and then some inverse ones,
// for frames bounded by 1. Each stage writes every value at most twice (its sum or
// difference, then the product with 1/sqrt 2), each time rounding by at most epsilon times a
// value below 2B, where B bounds the frames the stage undoes or transforms (times sqrt 2 per
// forward stage); the single-precision 1/sqrt 2 adds less than a third such rounding and
// 2^-24 covers half floats' subnormals. Mixing a pair moves earlier errors by at most
// sqrt 2 times the larger.
double errorBound(int forwardStages, int inverseStages, double epsilon) {
    const double root2 = std::sqrt(2.0);
    double error = 0.0;
    double bound = 1.0;
    for (int s = 0; s < forwardStages; ++s) {
        error = root2 * error + 3.0 * (epsilon * 2.0 * bound + 0x1p-24);
        bound *= root2;
    }
    for (int s = 0; s < inverseStages; ++s) {
        bound /= root2;
        error = root2 * error + 3.0 * (epsilon * 2.0 * bound + 0x1p-24);
    }
    return error;
}

// Stages for a window of n: halving, an odd image joining the next stage, down to one.
int stagesFor(int n) {
    int stages = 0;
    for (; n >= 2; n -= n / 2) ++stages;
    return stages;
}

// Entry (p, t) of the orthonormal Haar matrix for n = 2^m frames: row 0 is 1/sqrt n; row p
// in [n / span, 2n / span) with span = 2^s is the stage-s difference of block
// b = p - n / span: the later half of frames [b span, (b + 1) span) minus the earlier half,
// over sqrt span.
double haarEntry(int n, int p, int t) {
    if (p == 0) return 1.0 / std::sqrt(double(n));
    int span = 2;
    while (!(p >= n / span && p < 2 * n / span)) span *= 2;
    const int start = (p - n / span) * span;
    if (t < start || t >= start + span) return 0.0;
    return (t < start + span / 2 ? -1.0 : 1.0) / std::sqrt(double(span));
}

class TemporalTransform : public test::PluginGlTest {
protected:
    void SetUp() override {
        test::PluginGlTest::SetUp();
        startHost(kWidth, kHeight);
    }

    void useFormat(const Format& format) { host().setImageTemplateMode(format.templateMode); }

    // Pyramids with a full mip chain, every level used filled from the frames.
    Plugin::FrameWindow makeWindow(const std::vector<Frame>& frames) {
        Plugin::FrameWindow window;
        for (const Frame& frame : frames) {
            const HostImage image = Plugin::makeImageLike(call(), kWidth, kHeight, true, 1);
            for (int level = 0; level <= kLayers; ++level) {
                EXPECT_TRUE(images().upload(image.texture, level, kWidth >> level, kHeight >> level,
                                            frame[size_t(level)].data()));
            }
            window.push_back({image});
        }
        return window;
    }

    // What the frames hold now. llvmpipe (Mesa 22.3) can let glReadPixels see a level
    // before a draw queued in an earlier scene (another attachment) has landed in it, so
    // the rendering is finished first.
    std::vector<Frame> readWindow(const Plugin::FrameWindow& window) {
        glFinish();
        std::vector<Frame> frames;
        for (const Plugin::FramePyramid& pyramid : window) {
            Frame frame;
            for (int level = 0; level <= kLayers; ++level) {
                frame.push_back(read(pyramid.image, level, kWidth >> level, kHeight >> level));
            }
            frames.push_back(std::move(frame));
        }
        return frames;
    }

    void releaseWindow(const Plugin::FrameWindow& window) {
        for (const Plugin::FramePyramid& pyramid : window) release(pyramid.image);
    }

    static std::vector<GLuint> texturesOf(const Plugin::FrameWindow& window) {
        std::vector<GLuint> names;
        for (const Plugin::FramePyramid& pyramid : window) names.push_back(pyramid.image.texture);
        return names;
    }

    // Position in `before` of the frame whose texture now stands at `position`.
    static size_t originOf(const std::vector<GLuint>& before, const Plugin::FrameWindow& window,
                           size_t position) {
        const auto found = std::find(before.begin(), before.end(), window[position].image.texture);
        EXPECT_NE(found, before.end()) << "position " << position << " holds a stranger";
        return size_t(found - before.begin());
    }

    // Alpha of every transformed level and all of the residual level, bit for bit.
    static void expectUntouchedParts(const Frame& got, const Frame& original,
                                     const std::string& what) {
        int differences = 0;
        for (int level = 0; level < kLayers; ++level) {
            for (size_t i = 3; i < got[size_t(level)].size(); i += 4) {
                if (got[size_t(level)][i] != original[size_t(level)][i]) ++differences;
            }
        }
        EXPECT_EQ(differences, 0) << what << ": alpha changed";
        EXPECT_EQ(got[kLayers], original[kLayers]) << what << ": residual level changed";
    }

    // The state both transforms promise, and the host's bindings back.
    void expectStateLeft(GLuint program) {
        EXPECT_EQ(glIsEnabled(GL_BLEND), GLboolean(GL_FALSE));
        for (auto [query, expected] : {std::pair<GLenum, GLint>{GL_BLEND_EQUATION_RGB, GL_FUNC_ADD},
                                       {GL_BLEND_EQUATION_ALPHA, GL_FUNC_ADD},
                                       {GL_BLEND_SRC_RGB, GL_ONE},
                                       {GL_BLEND_DST_RGB, GL_ONE},
                                       {GL_BLEND_SRC_ALPHA, GL_ONE},
                                       {GL_BLEND_DST_ALPHA, GL_ONE}}) {
            GLint value = 0;
            glGetIntegerv(query, &value);
            EXPECT_EQ(value, expected) << "blend state " << query;
        }
        GLboolean mask[4] = {};
        glGetBooleanv(GL_COLOR_WRITEMASK, mask);
        EXPECT_TRUE(mask[0] && mask[1] && mask[2] && mask[3]) << "colour write mask";
        EXPECT_EQ(currentProgram(), program);
        expectHostBindings();
    }

    // Blend state nobody should rely on, as another pass might leave it.
    static void scrambleBlendState() {
        glEnable(GL_BLEND);
        glBlendEquation(GL_FUNC_REVERSE_SUBTRACT);
        glBlendFunc(GL_ZERO, GL_SRC_COLOR);
        glColorMask(GL_FALSE, GL_TRUE, GL_FALSE, GL_TRUE);
    }

    GLuint colourProgram() { return GLuint(effect().programId("singleColor")); }
};

// Windows of 2, 4 and 8 against the Haar matrix, with the records in the order the stages
// leave them: sums before differences, stage by stage.
TEST_F(TemporalTransform, MatchesTheHaarBasisForTwoFourAndEightFrames) {
    const std::vector<std::vector<size_t>> orders = {
        {0, 1}, {0, 2, 1, 3}, {0, 4, 2, 6, 1, 3, 5, 7}};
    for (const Format& format : {kFloat, kHalf}) {
        useFormat(format);
        for (const std::vector<size_t>& order : orders) {
            const int n = int(order.size());
            std::vector<Frame> frames;
            for (int t = 0; t < n; ++t) frames.push_back(randomFrame(unsigned(10 * n + t)));
            Plugin::FrameWindow window = makeWindow(frames);
            const std::vector<Frame> stored = readWindow(window);
            const std::vector<GLuint> textures = texturesOf(window);
            Plugin::temporalForward(call(), window, kLayers, 0);
            expectStateLeft(colourProgram());
            const std::vector<Frame> out = readWindow(window);
            const double tolerance = errorBound(stagesFor(n), 0, format.epsilon);
            for (int p = 0; p < n; ++p) {
                const size_t origin = originOf(textures, window, size_t(p));
                EXPECT_EQ(origin, order[size_t(p)]) << format.name << " window " << n;
                expectUntouchedParts(out[size_t(p)], stored[origin],
                                     "position " + std::to_string(p));
                for (int level = 0; level < kLayers; ++level) {
                    for (size_t i = 0; i < out[size_t(p)][size_t(level)].size(); ++i) {
                        if (i % 4 == 3) continue;
                        double expected = 0.0;
                        for (int t = 0; t < n; ++t) {
                            expected += haarEntry(n, p, t) * stored[size_t(t)][size_t(level)][i];
                        }
                        ASSERT_NEAR(out[size_t(p)][size_t(level)][i], expected, tolerance)
                            << format.name << " window " << n << " position " << p << " level "
                            << level << " value " << i;
                    }
                }
            }
            releaseWindow(window);
        }
    }
}

// Frames 1, 3 and 2: the first pair gives 4/sqrt 2 and 2/sqrt 2 and the third frame is
// carried; it then pairs with the sum: (4/sqrt 2 + 2)/sqrt 2 = 2 + sqrt 2 and
// (2 - 4/sqrt 2)/sqrt 2 = sqrt 2 - 2. Records: frame 0's sum, frame 2's difference, then
// frame 1's first-stage difference.
TEST_F(TemporalTransform, AnOddImageIsCarriedIntoTheNextStage) {
    Plugin::FrameWindow window =
        makeWindow({constantFrame(1, -1, 0.5f, 0.25f, 7), constantFrame(3, -3, 1.5f, 0.5f, 8),
                    constantFrame(2, -2, 1, 0.75f, 9)});
    const std::vector<Frame> stored = readWindow(window);
    const std::vector<GLuint> textures = texturesOf(window);
    Plugin::temporalForward(call(), window, kLayers, 0);
    const std::vector<size_t> order = {0, 2, 1};
    const double root2 = std::sqrt(2.0);
    const double expected[3] = {2.0 + root2, root2 - 2.0, root2};
    const std::vector<Frame> out = readWindow(window);
    const double tolerance = errorBound(2, 0, kFloat.epsilon) * 3.0;  // frames up to 3
    for (size_t p = 0; p < 3; ++p) {
        ASSERT_EQ(originOf(textures, window, p), order[p]);
        expectUntouchedParts(out[p], stored[order[p]], "position " + std::to_string(p));
        for (int level = 0; level < kLayers; ++level) {
            const std::vector<float>& rgba = out[p][size_t(level)];
            for (size_t i = 0; i < rgba.size(); i += 4) {
                // Green is minus red and blue half of it, all along.
                ASSERT_NEAR(rgba[i], expected[p], tolerance) << p << " level " << level;
                ASSERT_NEAR(rgba[i + 1], -expected[p], tolerance) << p << " level " << level;
                ASSERT_NEAR(rgba[i + 2], 0.5 * expected[p], tolerance) << p << " level " << level;
            }
        }
    }
    releaseWindow(window);
}

// Every window size from 2 to 8: the forward transform keeps every record (a permutation)
// and the energy of each texel across the window (it is orthonormal); the inverse brings
// every frame back to its place and its values. The energies differ by at most the length
// of the error vector, sqrt n times the largest error.
TEST_F(TemporalTransform, ForwardThenInverseReturnsEveryWindowWithNoFrameLost) {
    for (const Format& format : {kFloat, kHalf}) {
        useFormat(format);
        for (int n = 2; n <= 8; ++n) {
            std::vector<Frame> frames;
            for (int t = 0; t < n; ++t) frames.push_back(randomFrame(unsigned(100 + 10 * n + t)));
            Plugin::FrameWindow window = makeWindow(frames);
            const std::vector<Frame> stored = readWindow(window);
            const std::vector<GLuint> textures = texturesOf(window);
            const std::string what = std::string(format.name) + " window " + std::to_string(n);

            Plugin::temporalForward(call(), window, kLayers, 0);
            std::vector<GLuint> after = texturesOf(window);
            std::sort(after.begin(), after.end());
            std::vector<GLuint> sorted = textures;
            std::sort(sorted.begin(), sorted.end());
            ASSERT_EQ(after, sorted) << what << ": a frame was lost or doubled";
            const std::vector<Frame> transformed = readWindow(window);
            const double energyTolerance =
                std::sqrt(double(n)) * errorBound(stagesFor(n), 0, format.epsilon);
            for (int level = 0; level < kLayers; ++level) {
                for (size_t i = 0; i < stored[0][size_t(level)].size(); ++i) {
                    if (i % 4 == 3) continue;
                    double before = 0.0;
                    double now = 0.0;
                    for (int t = 0; t < n; ++t) {
                        before += std::pow(double(stored[size_t(t)][size_t(level)][i]), 2.0);
                        now += std::pow(double(transformed[size_t(t)][size_t(level)][i]), 2.0);
                    }
                    ASSERT_NEAR(std::sqrt(now), std::sqrt(before), energyTolerance)
                        << what << " level " << level << " value " << i;
                }
            }
            for (int p = 0; p < n; ++p) {
                const size_t origin = originOf(textures, window, size_t(p));
                expectUntouchedParts(transformed[size_t(p)], stored[origin],
                                     what + " forward position " + std::to_string(p));
            }

            Plugin::temporalInverse(call(), window, kLayers, 0);
            expectStateLeft(colourProgram());
            ASSERT_EQ(texturesOf(window), textures) << what << ": not back in time order";
            const std::vector<Frame> back = readWindow(window);
            const double tolerance = errorBound(stagesFor(n), stagesFor(n), format.epsilon);
            for (int t = 0; t < n; ++t) {
                expectUntouchedParts(back[size_t(t)], stored[size_t(t)],
                                     what + " frame " + std::to_string(t));
                for (int level = 0; level < kLayers; ++level) {
                    for (size_t i = 0; i < back[size_t(t)][size_t(level)].size(); ++i) {
                        ASSERT_NEAR(back[size_t(t)][size_t(level)][i],
                                    stored[size_t(t)][size_t(level)][i], tolerance)
                            << what << " frame " << t << " level " << level << " value " << i;
                    }
                }
            }
            releaseWindow(window);
        }
    }
}

// Per stage of m images, (m / 2) pairs of four copies each plus two scaling draws per pair,
// for every transformed level, and one scratch image. 8: 4 + 2 + 1 pairs in 3 stages;
// 7: 3 + 2 + 1 pairs (7, then 4, then 2 images) in 3 stages; a lone image has no pair and
// costs nothing. Whatever blend state came in, the promised state goes out.
TEST_F(TemporalTransform, DrawsAndScratchImagesFollowThePairs) {
    struct Case {
        int n, pairs, stages;
    };
    for (const Case& c : {Case{8, 7, 3}, Case{7, 6, 3}, Case{2, 1, 1}, Case{1, 0, 0}}) {
        std::vector<Frame> frames;
        for (int t = 0; t < c.n; ++t) frames.push_back(randomFrame(unsigned(300 + t)));
        Plugin::FrameWindow window = makeWindow(frames);
        const std::vector<GLuint> textures = texturesOf(window);
        for (bool forward : {true, false}) {
            scrambleBlendState();
            const int drawsBefore = drawsRecorded();
            const int lentBefore = images().totalLent();
            if (forward) {
                Plugin::temporalForward(call(), window, kLayers, 0);
            } else {
                Plugin::temporalInverse(call(), window, kLayers, 0);
            }
            EXPECT_EQ(drawsRecorded() - drawsBefore, c.pairs * 6 * kLayers) << c.n;
            EXPECT_EQ(images().totalLent() - lentBefore, c.stages) << c.n;
            EXPECT_EQ(images().outstanding(), c.n) << "scratch images given back";
            expectStateLeft(colourProgram());
        }
        EXPECT_EQ(texturesOf(window), textures);
        releaseWindow(window);
    }
}

// A count below the window's size transforms only that many leading images; the rest keep
// their place and every bit.
TEST_F(TemporalTransform, CountLimitsTheImagesTransformed) {
    std::vector<Frame> frames;
    for (int t = 0; t < 4; ++t) frames.push_back(randomFrame(unsigned(400 + t)));
    Plugin::FrameWindow window = makeWindow(frames);
    const std::vector<Frame> stored = readWindow(window);
    const std::vector<GLuint> textures = texturesOf(window);
    Plugin::temporalForward(call(), window, kLayers, 2);
    EXPECT_EQ(texturesOf(window), textures);
    std::vector<Frame> out = readWindow(window);
    EXPECT_EQ(out[2], stored[2]);
    EXPECT_EQ(out[3], stored[3]);
    const double tolerance = errorBound(1, 0, kFloat.epsilon);
    for (size_t i = 0; i < out[0][0].size(); ++i) {
        if (i % 4 == 3) continue;
        const double a = stored[0][0][i];
        const double b = stored[1][0][i];
        ASSERT_NEAR(out[0][0][i], (a + b) / std::sqrt(2.0), tolerance) << i;
        ASSERT_NEAR(out[1][0][i], (b - a) / std::sqrt(2.0), tolerance) << i;
    }
    Plugin::temporalInverse(call(), window, kLayers, 2);
    EXPECT_EQ(texturesOf(window), textures);
    out = readWindow(window);
    EXPECT_EQ(out[2], stored[2]);
    EXPECT_EQ(out[3], stored[3]);
    for (int t = 0; t < 2; ++t) {
        for (size_t i = 0; i < out[size_t(t)][0].size(); ++i) {
            ASSERT_NEAR(out[size_t(t)][0][i], stored[size_t(t)][0][i],
                        errorBound(1, 1, kFloat.epsilon));
        }
    }
    releaseWindow(window);
}

}  // namespace
