// One frei0r instance: the values the host set and the effect they drive.
#pragma once

#include <cstdint>

#include "editor_core/editor_effect.h"
#include "frei0r/frei0r_parameters.h"

namespace ruvovav::frei0r {

struct Instance {
    Instance(unsigned width, unsigned height) : effect(int(width), int(height)) {}

    // f0r_update: `in` and `out` hold width x height RGBA8888 pixels.
    void update(double time, const uint32_t* in, uint32_t* out) {
        effect.process(time, reinterpret_cast<const uint8_t*>(in), reinterpret_cast<uint8_t*>(out),
                       parameters.settings());
    }

    Parameters parameters;
    editor::EditorEffect effect;
};

}  // namespace ruvovav::frei0r
