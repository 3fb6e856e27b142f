// Arithmetic between images is done by the blending unit: the pass's output (source) is
// combined with what the target holds (destination). Colour writes are limited to R, G and B
// unless a caller asks for all four, so alpha is carried through untouched.
#pragma once

#include <GL/glew.h>

namespace Plugin {

enum class BlendArithmetic {
    Replace,          // source; blending off
    Add,              // destination + source
    Subtract,         // source - destination
    ReverseSubtract,  // destination - source
    Multiply,         // destination x source
};

enum class ColourWrites { ColourOnly, AllChannels, AlphaOnly };

// Blending set for the arithmetic (factors (ONE, ONE), or (DST_COLOR, ZERO) to multiply),
// colour writes R, G, B only unless `writes` asks for alpha too, or for alpha alone.
void beginBlendArithmetic(BlendArithmetic arithmetic,
                          ColourWrites writes = ColourWrites::ColourOnly);
// Blending off, equation add, factors (ONE, ONE), colour writes on for all four channels:
// the state every pass may assume.
void endBlendArithmetic();

// Blend arithmetic for the lifetime of the scope, ended however the scope is left.
class BlendArithmeticScope {
public:
    explicit BlendArithmeticScope(BlendArithmetic arithmetic,
                                  ColourWrites writes = ColourWrites::ColourOnly) {
        beginBlendArithmetic(arithmetic, writes);
    }
    ~BlendArithmeticScope() { endBlendArithmetic(); }
    BlendArithmeticScope(const BlendArithmeticScope&) = delete;
    BlendArithmeticScope& operator=(const BlendArithmeticScope&) = delete;
};

}  // namespace Plugin
