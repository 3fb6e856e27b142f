// The orthonormal Haar transform along time, over the frames of the render window.
//
// Every frame is a pyramid whose mip levels 0 .. layerCount - 1 are frequency layers and
// whose level layerCount is the residual. The forward transform replaces, level by level,
// each pair (a, b) of a stage by the sum (a + b) / sqrt 2 and the difference (b - a) / sqrt 2,
// all arithmetic done by the blending unit, and reorders the records: sums first, then
// differences. The next stage works on the sums. For a window of 8 the low-pass image ends
// at 0, the stage-3 difference at 1, the stage-2 differences at 2 and 3 and the stage-1
// differences at 4 .. 7. The inverse undoes the stages coarsest first and restores time
// order. The residual level and alpha are never written; no frame record is made or lost.
//
// Windows that are not a power of two (a clip shorter than the window): a stage of M images
// pairs the first 2 * (M / 2) of them. When M is odd its last image is left untouched and
// carried: the reordered stage holds the M / 2 sums, then the carried image, then the M / 2
// differences, and the next stage works on the first M - M / 2 images (the sums and the
// carried image), so the carried image is paired again there. Stages go on while at least
// two images are left. Each stage is orthonormal, so the whole transform is; the inverse
// runs the same stages in reverse with the same rule. Windows of 2, 4 and 8 never carry.
#pragma once

#include "gl/host_call.h"
#include "render/frame_pyramid.h"

namespace Plugin {

// Transforms the first `count` images of the window (0 or less, or more than the window
// holds, means all of it). Fewer than two images: nothing is drawn and nothing moves.
// GL: leaves blending off, blend equation add, factors (ONE, ONE), colour writes on for all
// four channels, "singleColor" as the current program when anything was drawn, and the
// host's destination attached and its source on unit 0, however it ends.
void temporalForward(const HostCall& call, FrameWindow& window, int layerCount, int count);

// Undoes temporalForward called with the same arguments, putting the frames back in time
// order. GL: as temporalForward.
void temporalInverse(const HostCall& call, FrameWindow& window, int layerCount, int count);

}  // namespace Plugin
