// Where a pass draws and what it samples: colour attachment 0 of the host's framebuffer,
// the viewport, and textures on units with their wrap and filter modes.
//
// The plug-in owns no framebuffer. It draws into whichever one the host has bound and
// changes only colour attachment 0 and the viewport; a HostBindingsGuard puts back what the
// host relies on when a pass ends, however it ends.
#pragma once

#include <GL/glew.h>

#include "gl/host_call.h"
#include "plugin/host_api.h"

namespace Plugin {

// Attaches `level` of the image as colour attachment 0; viewport = that level's size.
void attachRenderTarget(const HostImage& image, int level);
void detachRenderTarget(GLenum attachment);

// Pixels 0 .. n - 1 of a viewport side of `size` whose centres lie at or below `scale` x
// size: the lower-left region a pass limited to that fraction of its target computes. A
// centre exactly on the bound counts, as the programs' "<=" tests count it.
int activeExtent(int size, float scale);

// Limits drawing to the width x height pixels from (x, y) (default: the lower left) while it
// lives; the scissor test is off again when it goes, however the pass ends. Pixels outside
// keep what they held.
class ScissorGuard {
public:
    ScissorGuard(int width, int height) : ScissorGuard(0, 0, width, height) {}
    ScissorGuard(int x, int y, int width, int height);
    ~ScissorGuard() { glDisable(GL_SCISSOR_TEST); }
    ScissorGuard(const ScissorGuard&) = delete;
    ScissorGuard& operator=(const ScissorGuard&) = delete;
};

// Binds `texture` on `unit` (GL_TEXTUREi, left active) with clamp-to-edge wrapping and,
// when `linear`, linear filtering.
void bindTextureUnit(GLenum unit, GLuint texture, bool linear);
// Clamp-to-edge on the texture bound at `unit` and, when `nearest`, nearest filtering.
void setUnitNearest(GLenum unit, bool nearest);
// As setUnitNearest, then unbinds the unit.
void unbindTextureUnit(GLenum unit, bool nearest);

// The host's destination back on colour attachment 0 (viewport of its size) and its source
// on unit 0 with nearest filtering; attachment or unit left empty when the host has none.
void restoreHostBindings(const HostCall& call);

// Restores the host's bindings when it goes out of scope, exceptions included. Declared
// before the leases of a pass, it runs after every image went back.
class HostBindingsGuard {
public:
    explicit HostBindingsGuard(const HostCall& call) : call_(call) {}
    ~HostBindingsGuard() { restoreHostBindings(call_); }
    HostBindingsGuard(const HostBindingsGuard&) = delete;
    HostBindingsGuard& operator=(const HostBindingsGuard&) = delete;

private:
    HostCall call_;
};

}  // namespace Plugin
