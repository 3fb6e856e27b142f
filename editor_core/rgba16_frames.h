// Frames of 16 bits per channel as GStreamer's RGBA64_LE carries them: four little-endian
// 16-bit values a pixel, straight alpha, top row first.
//
// Both ways use the tool's own arithmetic for 16-bit pictures (scaled by 1/65535 in, rounded
// out), so a 16-bit frame comes out as the tool writes it. No dither: a step of 16 bits is far
// below what the effect's result can tell apart.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "host/clip_frames.h"

namespace ruvovav::editor {

// The frame the effect reads: premultiplied floats in 0..1, rows bottom up. `stride` is the
// number of bytes from one row to the next; 0: rows follow each other without padding.
kestrel::Frame frameFromRgba16(const uint8_t* pixels, int width, int height, size_t stride = 0);

// The effect's result (premultiplied floats, rows bottom up) as straight little-endian 16-bit
// RGBA, top row first. Fully transparent pixels come out black.
void rgba16FromResult(const std::vector<float>& rgba, int width, int height, uint8_t* out,
                      size_t stride = 0);

}  // namespace ruvovav::editor
