// Synthetic footage whose noise is made the way cameras, film and codecs make it: correlated
// between neighbouring pixels and dependent on brightness, with the clean frames known. The
// scene is procedural, so no test depends on a photograph.
#pragma once

#include <cstdint>
#include <vector>

#include "cli/media/picture.h"

namespace ruvovav::footage {

enum class NoiseKind {
    // A Bayer RGGB sensor: Poisson shot noise and Gaussian read noise on the mosaic in linear
    // light, then bilinear demosaicing, white balance and sRGB encoding.
    Camera,
    // Film grain: low-pass filtered white noise, strongest in the mid-tones, slightly coloured.
    FilmGrain,
};

// Pan: the scene slides by a sub-pixel step per frame, so no frame lines up with another.
enum class Motion { Still, Pan };

struct ClipRecipe {
    int width = 384, height = 256, frames = 1;
    NoiseKind noise = NoiseKind::Camera;
    Motion motion = Motion::Still;
    float strength = 1.0f;  // scales the noise's standard deviation; 1 is a high-ISO look
    int crf = -1;           // >= 0: the noisy frames go through H.264 at this CRF and back
    uint32_t seed = 1;      // picks the scene's layout and colours, and the noise
};

// The pan's step in pixels per frame.
inline constexpr double kPanStepX = 1.7, kPanStepY = 0.6;

// Straight RGBA frames in 0..1, top row first, alpha 1. `clean` is what the camera would
// record without noise (for Camera: the same demosaicing of a noiseless mosaic), so that
// noisy - clean is the noise alone.
struct Clip {
    std::vector<media::Picture> clean, noisy;
};

// Deterministic for a recipe. Throws std::invalid_argument for sizes below 8x8, odd sizes with
// a crf, no frames, a negative strength or a crf above 51; media::MediaError if the encode
// round trip fails.
Clip makeClip(const ClipRecipe& recipe);

// True when the clean picture has no texture or edge inside the rectangle (top-left corner
// x, y): every channel changes by little from pixel to pixel, and luma departs little from
// its best-fitting plane, which a smooth shading passes. False for rectangles that do not lie
// inside the picture.
bool isFlat(const media::Picture& clean, int x, int y, int w, int h);

}  // namespace ruvovav::footage
