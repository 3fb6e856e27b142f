// Arithmetic between images is done by the blending unit: the pass's output (source) is
// combined with what the target holds (destination), colour writes limited to R, G and B so
// alpha is carried through untouched.
#pragma once

#include <GL/glew.h>

namespace Plugin {

enum class BlendArithmetic {
    Add,              // destination + source
    Subtract,         // source - destination
    ReverseSubtract,  // destination - source
};

// Blending on with the equation, factors (ONE, ONE), colour writes R, G, B only.
void beginBlendArithmetic(BlendArithmetic arithmetic);
// Blending off, equation add, factors (ONE, ONE), colour writes on for all four channels:
// the state every pass may assume.
void endBlendArithmetic();

}  // namespace Plugin
