#include "render/temporal_transform.h"

#include <GL/glew.h>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <vector>

#include "gl/blend_state.h"
#include "gl/host_image.h"
#include "gl/pass_guard.h"
#include "gl/program_uniforms.h"
#include "gl/quad_draw.h"
#include "gl/render_target.h"
#include "gl/standard_passes.h"
#include "shaders/standard_programs.h"

namespace Plugin {
namespace {

constexpr const char* kColourProgram = "singleColor";

// How a draw meets its target. Every mode writes R, G and B only: alpha is carried through
// untouched, and the scratch image's alpha is never read into a frame.
enum class BlendMode { Plain, Subtract, Add };

BlendArithmetic arithmeticOf(BlendMode mode) {
    switch (mode) {
        case BlendMode::Subtract:
            return BlendArithmetic::Subtract;
        case BlendMode::Add:
            return BlendArithmetic::Add;
        case BlendMode::Plain:
            break;
    }
    return BlendArithmetic::Replace;
}

// One copy draw in the blend state of `mode`. GL: as drawLevelCopy.
void drawLevel(const HostCall& call, const HostImage& source, int sourceLevel, const Quad& quad,
               const HostImage& target, int targetLevel, BlendMode mode) {
    beginBlendArithmetic(arithmeticOf(mode));
    drawLevelCopy(call, source, sourceLevel, quad, target, targetLevel);
}

// Window slots of one pair: the one that holds (or receives) the sum and the one that
// holds (or receives) the difference.
struct Pair {
    size_t sum;
    size_t difference;
};

// Images of a stage of `count` that are paired; an odd last one is carried.
int pairCount(int count) {
    return count / 2;
}
// The next stage works on the sums and the carried image.
int nextStageCount(int count) {
    return count - count / 2;
}

// Before a forward stage, pairs are neighbours in the window.
std::vector<Pair> forwardPairs(int count) {
    std::vector<Pair> pairs;
    for (int i = 0; i < pairCount(count); ++i) pairs.push_back({size_t(2 * i), size_t(2 * i + 1)});
    return pairs;
}

// Before an inverse stage, sums lead and differences close the stage.
std::vector<Pair> inversePairs(int count) {
    const int half = pairCount(count);
    std::vector<Pair> pairs;
    for (int i = 0; i < half; ++i) pairs.push_back({size_t(i), size_t(count - half + i)});
    return pairs;
}

// With scratch T: T = first; T = second - first; first = first + second; second = T.
// Taken on (a, b) it gives a + b and b - a; taken on (d, s) it gives s + d and s - d,
// which is how the inverse undoes it.
void pairStep(const HostCall& call, const HostImage& first, const HostImage& second,
              const HostImage& scratch, int level, const Quad& frameQuad, const Quad& scratchQuad) {
    drawLevel(call, first, level, frameQuad, scratch, 0, BlendMode::Plain);
    drawLevel(call, second, level, frameQuad, scratch, 0, BlendMode::Subtract);
    drawLevel(call, second, level, frameQuad, first, level, BlendMode::Add);
    drawLevel(call, scratch, 0, scratchQuad, second, level, BlendMode::Plain);
}

// The scratch image describes one level of the frames, in its lower-left corner.
void sizeScratch(HostImage& scratch, const HostImage& frame, int level) {
    scratch.width = frame.width >> level;
    scratch.height = frame.height >> level;
    updateImageExtents(scratch);
}

enum class Direction { Forward, Inverse };

// Every level of every pair through pairStep, with one scratch image for the stage.
void transformPairs(const HostCall& call, const FrameWindow& window, const std::vector<Pair>& pairs,
                    int layerCount, Direction direction) {
    const HostImage& model = window[0].image;
    const RenderContext& rc = *call.renderContext();
    HostImageLease scratch(call, makeImageLike(call, model.width, model.height, true, 0));
    const Quad frameQuad = fillQuad(model, rc.width, rc.height);
    for (int level = 0; level < layerCount; ++level) {
        sizeScratch(scratch.image(), model, level);
        const Quad scratchQuad = fillQuad(scratch.image(), rc.width, rc.height);
        for (const Pair& pair : pairs) {
            const HostImage& sum = window[pair.sum].image;
            const HostImage& difference = window[pair.difference].image;
            if (direction == Direction::Forward) {
                pairStep(call, sum, difference, scratch.image(), level, frameQuad, scratchQuad);
            } else {
                pairStep(call, difference, sum, scratch.image(), level, frameQuad, scratchQuad);
            }
        }
    }
}

// Multiplies R, G and B of every level of both images of every pair by 1/sqrt 2, through
// the blending unit: destination x colour. Ends with blending off.
void scalePairs(const HostCall& call, const FrameWindow& window, const std::vector<Pair>& pairs,
                int layerCount) {
    const EffectData& effect = call.effect();
    effect.bindProgram(kColourProgram);
    setVertexMatrices(call);
    const float scale = 1.0f / std::sqrt(2.0f);
    effect.setUniform4f(effect.uniformLocation(shaders::kColourUniform), scale, scale, scale, 1.0f);
    const BlendArithmeticScope multiply(BlendArithmetic::Multiply);
    const RenderContext& rc = *call.renderContext();
    const Quad quad = fillQuad(window[0].image, rc.width, rc.height);
    for (int level = 0; level < layerCount; ++level) {
        for (const Pair& pair : pairs) {
            attachRenderTarget(window[pair.sum].image, level);
            drawQuad(call, quad);
            attachRenderTarget(window[pair.difference].image, level);
            drawQuad(call, quad);
        }
    }
}

// Sums to 0 .. half - 1, the carried image (odd count) to half, differences from
// count - half on; the images beyond the stage stay where they are.
void gatherStage(FrameWindow& window, int count) {
    const int half = pairCount(count);
    std::vector<FramePyramid> reordered(window.begin(), window.begin() + count);
    for (int i = 0; i < half; ++i) {
        reordered[size_t(i)] = window[size_t(2 * i)];
        reordered[size_t(count - half + i)] = window[size_t(2 * i + 1)];
    }
    if (count % 2 != 0) reordered[size_t(half)] = window[size_t(count - 1)];
    std::copy(reordered.begin(), reordered.end(), window.begin());
}

// The reverse of gatherStage.
void interleaveStage(FrameWindow& window, int count) {
    const int half = pairCount(count);
    std::vector<FramePyramid> reordered(window.begin(), window.begin() + count);
    for (int i = 0; i < half; ++i) {
        reordered[size_t(2 * i)] = window[size_t(i)];
        reordered[size_t(2 * i + 1)] = window[size_t(count - half + i)];
    }
    if (count % 2 != 0) reordered[size_t(count - 1)] = window[size_t(half)];
    std::copy(reordered.begin(), reordered.end(), window.begin());
}

void forwardStage(const HostCall& call, FrameWindow& window, int layerCount, int count) {
    const std::vector<Pair> pairs = forwardPairs(count);
    transformPairs(call, window, pairs, layerCount, Direction::Forward);
    scalePairs(call, window, pairs, layerCount);
    gatherStage(window, count);
}

void inverseStage(const HostCall& call, FrameWindow& window, int layerCount, int count) {
    const std::vector<Pair> pairs = inversePairs(count);
    transformPairs(call, window, pairs, layerCount, Direction::Inverse);
    scalePairs(call, window, pairs, layerCount);
    interleaveStage(window, count);
}

// Images per stage, finest first: the first is the whole transformed count.
std::vector<int> stageCounts(const FrameWindow& window, int count) {
    const int size = int(window.size());
    int images = count <= 0 || count > size ? size : count;
    std::vector<int> counts;
    for (; images >= 2; images = nextStageCount(images)) counts.push_back(images);
    return counts;
}

}  // namespace

void temporalForward(const HostCall& call, FrameWindow& window, int layerCount, int count) {
    const BlendingPassGuard end(call);
    for (int images : stageCounts(window, count)) forwardStage(call, window, layerCount, images);
}

void temporalInverse(const HostCall& call, FrameWindow& window, int layerCount, int count) {
    const BlendingPassGuard end(call);
    const std::vector<int> counts = stageCounts(window, count);
    for (auto images = counts.rbegin(); images != counts.rend(); ++images) {
        inverseStage(call, window, layerCount, *images);
    }
}

}  // namespace Plugin
