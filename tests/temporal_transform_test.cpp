// The temporal Haar transform over a window of frame pyramids on our host's context, against
// the closed-form orthonormal basis written here, round trips and the energy it keeps.
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

// One frame's RGBA texels, level by level, the residual level last.
using Frame = std::vector<std::vector<float>>;

// Random frame in [-1, 1] on multiples of 1/256 (exact in half floats); alpha in (0, 1].
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

// The host's 32-bit float template, or the half floats the editor's 8-bit frames give.
struct Format {
    const char* name;
    uint32_t templateMode;
    double epsilon;  // a stored value's spacing is at most epsilon times its size
};
constexpr Format kFloat{"RGBA32F", 0, 0x1p-23};
constexpr Format kHalf{"RGBA16F", 1, 0x1p-10};

// Error after some forward then inverse stages, frames bounded by 1: each stage rounds every
// value up to three times by epsilon of a value below 2B (B grows by sqrt 2 per forward
// stage; 2^-24 covers half-float subnormals) and mixing a pair grows earlier errors by sqrt 2.
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

// Entry (p, t) of the orthonormal Haar matrix for n = 2^m frames: row 0 is 1/sqrt n; a row in
// [n / span, 2n / span) is block p - n / span's later half minus its earlier, over sqrt span.
double haarEntry(int n, int p, int t) {
    if (p == 0) return 1.0 / std::sqrt(double(n));
    int span = 2;
    while (!(p >= n / span && p < 2 * n / span)) span *= 2;
    const int start = (p - n / span) * span;
    if (t < start || t >= start + span) return 0.0;
    return (t < start + span / 2 ? -1.0 : 1.0) / std::sqrt(double(span));
}

// Three frames: the third is carried to pair with the first pair's sum, giving the records
// (f0 + f1) / 2 + f2 / sqrt 2, f2 / sqrt 2 - (f0 + f1) / 2 and (f1 - f0) / sqrt 2.
double basisEntry(int n, int p, int t) {
    const double r = 1.0 / std::sqrt(2.0);
    const double three[3][3] = {{0.5, 0.5, r}, {-0.5, -0.5, r}, {-r, r, 0.0}};
    return n == 3 ? three[p][t] : haarEntry(n, p, t);
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

    // What the frames hold now, after glFinish: llvmpipe (Mesa 22.3) can read a level before
    // a draw queued in an earlier scene has landed in it.
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

    // Every transformed value of every frame within `tolerance`, and the rest untouched.
    static void expectWindowNear(const std::vector<Frame>& got, const std::vector<Frame>& want,
                                 double tolerance, const std::string& what) {
        for (size_t t = 0; t < want.size(); ++t) {
            expectUntouchedParts(got[t], want[t], what + " frame " + std::to_string(t));
            for (size_t level = 0; level < kLayers; ++level) {
                for (size_t i = 0; i < want[t][level].size(); ++i) {
                    ASSERT_NEAR(got[t][level][i], want[t][level][i], tolerance)
                        << what << " frame " << t << " level " << level << " value " << i;
                }
            }
        }
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

// Windows of 1 to 8 frames, both formats, any blend state: forward permutes the images, lends
// a scratch image per stage and gives the basis's records in `orders` or keeps each texel's
// energy; the inverse brings every frame back in place.
TEST_F(TemporalTransform, ForwardMatchesTheHaarBasisAndInverseReturnsEveryWindow) {
    const std::vector<size_t> orders[9] = {
        {}, {0}, {0, 1}, {0, 2, 1}, {0, 2, 1, 3}, {}, {}, {}, {0, 4, 2, 6, 1, 3, 5, 7}};
    for (const Format& format : {kFloat, kHalf}) {
        useFormat(format);
        for (int n = 8; n >= 1; --n) {  // a lone image draws nothing: the program stays
            std::vector<Frame> frames;
            for (int t = 0; t < n; ++t) frames.push_back(randomFrame(unsigned(100 + 10 * n + t)));
            Plugin::FrameWindow window = makeWindow(frames);
            const std::vector<Frame> stored = readWindow(window);
            const std::vector<GLuint> textures = texturesOf(window);
            const std::string what = std::string(format.name) + " window " + std::to_string(n);

            scrambleBlendState();
            const int lentBefore = images().totalLent();
            Plugin::temporalForward(call(), window, kLayers, 0);
            EXPECT_EQ(images().totalLent() - lentBefore, stagesFor(n)) << what;
            expectStateLeft(colourProgram());
            const std::vector<GLuint> after = texturesOf(window);
            ASSERT_TRUE(
                std::is_permutation(after.begin(), after.end(), textures.begin(), textures.end()))
                << what << ": a frame was lost or doubled";
            const std::vector<Frame> out = readWindow(window);
            const double tolerance = errorBound(stagesFor(n), 0, format.epsilon);
            const std::vector<size_t>& order = orders[n];
            for (int p = 0; p < n; ++p) {
                const size_t origin = originOf(textures, window, size_t(p));
                EXPECT_TRUE(order.empty() || origin == order[size_t(p)]) << what << " " << p;
                expectUntouchedParts(out[size_t(p)], stored[origin],
                                     what + " position " + std::to_string(p));
            }
            for (int level = 0; level < kLayers; ++level) {
                for (size_t i = 0; i < stored[0][size_t(level)].size(); ++i) {
                    if (i % 4 == 3) continue;
                    double before = 0.0;
                    double now = 0.0;
                    for (int p = 0; p < n; ++p) {
                        const double got = out[size_t(p)][size_t(level)][i];
                        before += std::pow(double(stored[size_t(p)][size_t(level)][i]), 2.0);
                        now += got * got;
                        if (order.empty()) continue;
                        double expected = 0.0;
                        for (int t = 0; t < n; ++t) {
                            expected += basisEntry(n, p, t) * stored[size_t(t)][size_t(level)][i];
                        }
                        ASSERT_NEAR(got, expected, tolerance)
                            << what << " position " << p << " level " << level << " value " << i;
                    }
                    ASSERT_NEAR(std::sqrt(now), std::sqrt(before), std::sqrt(double(n)) * tolerance)
                        << what << " level " << level << " value " << i;
                }
            }

            scrambleBlendState();
            Plugin::temporalInverse(call(), window, kLayers, 0);
            expectStateLeft(colourProgram());
            ASSERT_EQ(texturesOf(window), textures) << what << ": not back in time order";
            expectWindowNear(readWindow(window), stored,
                             errorBound(stagesFor(n), stagesFor(n), format.epsilon), what);
            releaseWindow(window);
        }
    }
}

// A count below the window's size transforms the first frames only, and back.
TEST_F(TemporalTransform, CountLimitsTheImagesTransformed) {
    useFormat(kFloat);
    std::vector<Frame> frames;
    for (int t = 0; t < 4; ++t) frames.push_back(randomFrame(unsigned(400 + t)));
    Plugin::FrameWindow window = makeWindow(frames);
    const std::vector<Frame> stored = readWindow(window);
    Plugin::temporalForward(call(), window, kLayers, 2);
    std::vector<Frame> out = readWindow(window);
    EXPECT_EQ(out[2], stored[2]);
    EXPECT_EQ(out[3], stored[3]);
    const double tolerance = errorBound(1, 0, kFloat.epsilon);
    for (size_t i = 0; i < out[0][0].size(); i += 4) {
        const double a = stored[0][0][i], b = stored[1][0][i];
        ASSERT_NEAR(out[0][0][i], (a + b) / std::sqrt(2.0), tolerance) << i;
        ASSERT_NEAR(out[1][0][i], (b - a) / std::sqrt(2.0), tolerance) << i;
    }
    Plugin::temporalInverse(call(), window, kLayers, 2);
    expectWindowNear(readWindow(window), stored, errorBound(1, 1, kFloat.epsilon), "count 2");
    releaseWindow(window);
}

}  // namespace
