// Frames as editors pass them to a filter, 8 bits per channel: RGBA bytes with straight
// alpha, top row first. The effect works on premultiplied floats, bottom row first.
//
// The result is dithered on its way back to 8 bits: the effect's output is smooth to far
// finer than a step of 8 bits, and rounding it would turn gentle gradients into bands. An
// 8 x 8 ordered (Bayer) pattern spreads the fraction over each tile, so a tile's mean keeps
// the value to within 1/64 of a step, and values already whole stay exactly as they are.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "host/clip_frames.h"

namespace ruvovav::editor {

// The frame the effect reads: premultiplied floats in 0..1, rows bottom up. `stride` is the
// number of bytes from one row to the next; 0: rows follow each other without padding.
kestrel::Frame frameFromRgba8(const uint8_t* pixels, int width, int height, size_t stride = 0);

// The effect's result (premultiplied floats, rows bottom up) as straight RGBA bytes, top row
// first: colour unpremultiplied and dithered, alpha rounded. Fully transparent pixels have
// no colour to recover and come out black.
void rgba8FromResult(const std::vector<float>& rgba, int width, int height, uint8_t* out,
                     size_t stride = 0);

// The Bayer threshold rank of pixel (x, y): 0..63, each once in every 8 x 8 tile.
int bayerRank(int x, int y);
// `value` (0..1) as a byte at pixel (x, y): rounded up where its fraction of a step exceeds
// the pixel's threshold.
uint8_t ditheredByte(float value, int x, int y);

}  // namespace ruvovav::editor
