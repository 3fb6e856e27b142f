#include "gl/blend_state.h"

namespace Plugin {
namespace {

GLenum equationOf(BlendArithmetic arithmetic) {
    switch (arithmetic) {
        case BlendArithmetic::Subtract:
            return GL_FUNC_SUBTRACT;
        case BlendArithmetic::ReverseSubtract:
            return GL_FUNC_REVERSE_SUBTRACT;
        case BlendArithmetic::Replace:
        case BlendArithmetic::Add:
        case BlendArithmetic::Multiply:
            break;
    }
    return GL_FUNC_ADD;
}

}  // namespace

void beginBlendArithmetic(BlendArithmetic arithmetic, ColourWrites writes) {
    const GLboolean alpha = writes == ColourWrites::ColourOnly ? GL_FALSE : GL_TRUE;
    const GLboolean colour = writes == ColourWrites::AlphaOnly ? GL_FALSE : GL_TRUE;
    glColorMask(colour, colour, colour, alpha);
    if (arithmetic == BlendArithmetic::Replace) {
        glDisable(GL_BLEND);
        return;
    }
    glEnable(GL_BLEND);
    glBlendEquation(equationOf(arithmetic));
    if (arithmetic == BlendArithmetic::Multiply) {
        glBlendFunc(GL_DST_COLOR, GL_ZERO);
    } else {
        glBlendFunc(GL_ONE, GL_ONE);
    }
}

void endBlendArithmetic() {
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    glBlendEquation(GL_FUNC_ADD);
    glBlendFunc(GL_ONE, GL_ONE);
    glDisable(GL_BLEND);
}

}  // namespace Plugin
