#include "gl/blend_state.h"

namespace Plugin {
namespace {

GLenum equationOf(BlendArithmetic arithmetic) {
    switch (arithmetic) {
        case BlendArithmetic::Subtract:
            return GL_FUNC_SUBTRACT;
        case BlendArithmetic::ReverseSubtract:
            return GL_FUNC_REVERSE_SUBTRACT;
        case BlendArithmetic::Add:
            break;
    }
    return GL_FUNC_ADD;
}

}  // namespace

void beginBlendArithmetic(BlendArithmetic arithmetic) {
    glEnable(GL_BLEND);
    glBlendEquation(equationOf(arithmetic));
    glBlendFunc(GL_ONE, GL_ONE);
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_FALSE);
}

void endBlendArithmetic() {
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    glBlendEquation(GL_FUNC_ADD);
    glBlendFunc(GL_ONE, GL_ONE);
    glDisable(GL_BLEND);
}

}  // namespace Plugin
