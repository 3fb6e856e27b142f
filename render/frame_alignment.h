// Alignment of a neighbouring frame to the current one ("Track Movement"), called by the
// render for every neighbour of the window before the frequency split.
#pragma once

#include <optional>

#include "gl/host_call.h"
#include "image/texture_data.h"
#include "render/frame_pyramid.h"

namespace Plugin {

// The mip level at which motion is measured: 1/8 of the resolution each way keeps the
// read-back and the CPU flow small while the motion of a whole frame is still visible.
inline constexpr int kAlignmentLevel = 3;

// Measures the motion between `reference` and `frame` at mip `level` and redraws level 0 of
// `frame` where its pixels lie in `reference`. Skipped, leaving `frame` as it was, when the
// host asks to stop at the progress report or the two frames differ in size. When `level`
// is not 0 the mip chains of both are rebuilt first; after the call the levels above 0 of
// `frame` still hold it unaligned.
// GL: ends with the host's bindings restored, unit 1 empty and no program bound.
void alignFrame(const HostCall& call, const FramePyramid& reference, FramePyramid& frame,
                int level);

// The lumas motion is measured on: both frames' red channel (luma) at mip `level`, read
// back. Nothing when the alignment is skipped (as alignFrame says).
// GL: ends with the host's bindings restored.
struct MotionLumas {
    TextureDataV1 reference, frame;
};
std::optional<MotionLumas> readMotionLumas(const HostCall& call, const FramePyramid& reference,
                                           const FramePyramid& frame, int level);
// The flow field of `lumas` (forward in x, y, backward in z, w, in pixels of their level).
// CPU only, so any thread may run it while the GL works on something else.
TextureDataV4 measureMotion(MotionLumas lumas);

// The two steps of alignFrame. measureFrameMotion gives the flow field (forward in x, y,
// backward in z, w, in pixels of `level`), or nothing when the alignment is skipped.
// GL: ends with the host's bindings restored.
std::optional<TextureDataV4> measureFrameMotion(const HostCall& call, const FramePyramid& reference,
                                                const FramePyramid& frame, int level);
// Redraws level 0 of `frame` through the backward flow of `field`.
// GL: as alignFrame.
void warpFrame(const HostCall& call, FramePyramid& frame, const TextureDataV4& field);

}  // namespace Plugin
