#include "footage/camera_clip.h"

#include <cmath>
#include <stdexcept>

#include "footage/camera_pipeline.h"
#include "footage/clip_codec.h"
#include "footage/random_source.h"
#include "footage/scene.h"

namespace ruvovav::footage {
namespace {

constexpr uint32_t kNoiseStream = 0x2015eu;
constexpr uint32_t kGrainSizeStream = 0x67a1u;

// Bounds for isFlat: a pixel-to-pixel step well below any edge worth the name, and a luma
// departure from the fitted plane well below any texture.
constexpr double kMaxStep = 0.02;
constexpr double kMaxResidual = 0.01;

void validate(const ClipRecipe& recipe) {
    if (recipe.width < 8 || recipe.height < 8)
        throw std::invalid_argument("clips are at least 8x8");
    if (recipe.frames < 1) throw std::invalid_argument("a clip has at least one frame");
    if (!(recipe.strength >= 0)) throw std::invalid_argument("the noise strength is negative");
    if (recipe.crf > 51) throw std::invalid_argument("H.264's CRF goes up to 51");
    if (recipe.crf >= 0 && (recipe.width % 2 || recipe.height % 2))
        throw std::invalid_argument("4:2:0 encoding needs an even width and height");
}

double luma(const float* px) {
    return 0.2126 * px[0] + 0.7152 * px[1] + 0.0722 * px[2];
}

bool smallSteps(const media::Picture& p, int x0, int y0, int w, int h) {
    for (int y = y0; y < y0 + h; ++y)
        for (int x = x0; x < x0 + w; ++x) {
            const float* px = &p.rgba[(size_t(y) * p.width + x) * 4];
            const float* right = x + 1 < x0 + w ? px + 4 : px;
            const float* below = y + 1 < y0 + h ? px + size_t(p.width) * 4 : px;
            for (int c = 0; c < 3; ++c)
                if (std::abs(right[c] - px[c]) > kMaxStep || std::abs(below[c] - px[c]) > kMaxStep)
                    return false;
        }
    return true;
}

// Root mean square of luma about its least-squares plane. On a regular grid the centred
// coordinates are orthogonal to each other and to the constant, so each slope is a ratio.
double planeResidual(const media::Picture& p, int x0, int y0, int w, int h) {
    const double cx = (w - 1) / 2.0, cy = (h - 1) / 2.0;
    double sum = 0, sumX = 0, sumY = 0, xx = 0, yy = 0;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const double v = luma(&p.rgba[(size_t(y0 + y) * p.width + x0 + x) * 4]);
            sum += v;
            sumX += v * (x - cx);
            sumY += v * (y - cy);
            xx += (x - cx) * (x - cx);
            yy += (y - cy) * (y - cy);
        }
    const double mean = sum / (double(w) * h);
    const double slopeX = xx > 0 ? sumX / xx : 0, slopeY = yy > 0 ? sumY / yy : 0;
    double squares = 0;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const double v = luma(&p.rgba[(size_t(y0 + y) * p.width + x0 + x) * 4]);
            const double r = v - mean - slopeX * (x - cx) - slopeY * (y - cy);
            squares += r * r;
        }
    return std::sqrt(squares / (double(w) * h));
}

}  // namespace

Clip makeClip(const ClipRecipe& recipe) {
    validate(recipe);
    const bool pan = recipe.motion == Motion::Pan;
    const double travelX = pan ? kPanStepX * (recipe.frames - 1) : 0;
    const double travelY = pan ? kPanStepY * (recipe.frames - 1) : 0;
    const Canvas canvas = paintScene(recipe.width + int(std::ceil(travelX)) + 1,
                                     recipe.height + int(std::ceil(travelY)) + 1, recipe.seed);
    RandomSource grainSize(streamKey(recipe.seed, kGrainSizeStream));
    const double grainSigma = grainSize.uniform(0.8, 1.5);

    Clip clip;
    clip.clean.resize(size_t(recipe.frames));
    clip.noisy.resize(size_t(recipe.frames));
    media::Picture view{recipe.width, recipe.height, {}};
    for (int f = 0; f < recipe.frames; ++f) {
        const double step = pan ? f : 0;
        sampleView(canvas, kPanStepX * step, kPanStepY * step, view);
        RandomSource random(streamKey(recipe.seed, kNoiseStream, uint32_t(f)));
        media::Picture& clean = clip.clean[size_t(f)];
        media::Picture& noisy = clip.noisy[size_t(f)];
        if (recipe.noise == NoiseKind::Camera) {
            exposeCamera(view, recipe.strength, random, clean, noisy);
        } else {
            clean = view;
            addFilmGrain(clean, recipe.strength, grainSigma, random, noisy);
        }
    }
    if (recipe.crf >= 0) clip.noisy = h264RoundTrip(clip.noisy, recipe.crf);
    return clip;
}

bool isFlat(const media::Picture& clean, int x, int y, int w, int h) {
    if (w < 2 || h < 2 || x < 0 || y < 0 || x + w > clean.width || y + h > clean.height)
        return false;
    return smallSteps(clean, x, y, w, h) && planeResidual(clean, x, y, w, h) <= kMaxResidual;
}

}  // namespace ruvovav::footage
