// The built-in test clip of `ruvovav demo`: a textured scene panning at a sub-pixel speed,
// with a flat sky and a grey wall, carrying film-like grain that is strongest in the
// mid-tones plus faint colour noise, as footage from a small sensor does.
#pragma once

#include "cli/media/picture.h"

namespace ruvovav::cli {

struct DemoClip {
    int width = 640;
    int height = 360;
    int frames = 12;
};

// Frame i without and with noise (straight RGBA, top row first). Deterministic.
media::Picture demoCleanFrame(const DemoClip& clip, int index);
media::Picture demoNoisyFrame(const DemoClip& clip, int index);

}  // namespace ruvovav::cli
