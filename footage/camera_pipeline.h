// How the noisy frames are made: a Bayer sensor's exposure, or film grain.
#pragma once

#include "cli/media/picture.h"
#include "footage/random_source.h"

namespace ruvovav::footage {

// One exposure of `scene` (sRGB) through an RGGB sensor, demosaiced and encoded back to sRGB:
// `clean` from the noiseless mosaic, `noisy` from the mosaic with shot and read noise.
void exposeCamera(const media::Picture& scene, float strength, RandomSource& random,
                  media::Picture& clean, media::Picture& noisy);

// `clean` plus grain whose blobs have a Gaussian profile of `grainSigma` pixels.
void addFilmGrain(const media::Picture& clean, float strength, double grainSigma,
                  RandomSource& random, media::Picture& noisy);

}  // namespace ruvovav::footage
