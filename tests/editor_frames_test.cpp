// The adapters' frames: 8- and 16-bit rows to the effect's floats and back.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "editor_core/rgba16_frames.h"
#include "editor_core/rgba8_frames.h"

namespace ruvovav::editor {
namespace {

// 8-bit frames to the effect's floats and back: the layouts by hand on tiny frames, exact
// round trips, and the dither's promise that a tile's mean keeps the value.

TEST(Rgba8Frames, PremultipliesAndTurnsTheRowsOver) {
    // 1 x 2: top pixel half-transparent red 200, bottom opaque blue 255.
    const std::vector<uint8_t> bytes = {200, 0, 0, 51, 0, 0, 255, 255};
    const kestrel::Frame frame = frameFromRgba8(bytes.data(), 1, 2);
    ASSERT_EQ(frame.rgba.size(), 8u);
    // Row 0 of the frame is the bottom row.
    EXPECT_FLOAT_EQ(frame.rgba[2], 1.0f);
    EXPECT_FLOAT_EQ(frame.rgba[3], 1.0f);
    EXPECT_FLOAT_EQ(frame.rgba[4], 200.0f / 255.0f * 0.2f);
    EXPECT_FLOAT_EQ(frame.rgba[7], 0.2f);
    // Back from the effect, a fully transparent pixel comes out black.
    std::vector<uint8_t> out(4, 99);
    rgba8FromResult({0.3f, 0.2f, 0.1f, 0.0f}, 1, 1, out.data());
    EXPECT_EQ(out, (std::vector<uint8_t>{0, 0, 0, 0}));
}

TEST(Rgba8Frames, EveryValueComesBackExactlyUnderEveryAlpha) {
    // Two rows of every value, the second in another order, so that the flip and the
    // dither's rows both take part.
    const int width = 256;
    for (int alpha : {1, 7, 128, 254, 255}) {
        std::vector<uint8_t> in;
        for (int y = 0; y < 2; ++y) {
            for (int x = 0; x < width; ++x) {
                const int v = y == 0 ? x : (x * 7) % 256;
                in.insert(in.end(), {uint8_t(v), uint8_t(255 - v), uint8_t(v / 2), uint8_t(alpha)});
            }
        }
        const kestrel::Frame frame = frameFromRgba8(in.data(), width, 2);
        std::vector<uint8_t> out(in.size());
        rgba8FromResult(frame.rgba, width, 2, out.data());
        EXPECT_EQ(out, in) << "alpha " << alpha;
    }
}

TEST(Dither, KeepsWholeValues) {
    for (int value = 0; value < 256; ++value) {
        for (int y = 0; y < 8; ++y) {
            for (int x = 0; x < 8; ++x) {
                ASSERT_EQ(ditheredByte(float(value) / 255.0f, x, y), value);
            }
        }
    }
}

TEST(Dither, ATilesMeanKeepsTheFraction) {
    for (double level : {0.1, 17.25, 100.5, 128.9, 254.99}) {
        double sum = 0;
        for (int y = 0; y < 8; ++y)
            for (int x = 0; x < 8; ++x) sum += ditheredByte(float(level / 255.0), x, y);
        EXPECT_NEAR(sum / 64.0, level, 1.0 / 64.0 + 1e-4) << level;
    }
}

TEST(Dither, AGentleGradientDoesNotBand) {
    // One step of 8 bits spread over 256 columns: rounding would give one hard edge; the
    // dither keeps every 8 x 8 tile's mean on the ramp.
    const int width = 256;
    std::vector<float> result;
    for (int y = 0; y < 8; ++y) {
        for (int x = 0; x < width; ++x) {
            const float v = (100.0f + float(x) / float(width)) / 255.0f;
            result.insert(result.end(), {v, v, v, 1.0f});
        }
    }
    std::vector<uint8_t> out(result.size());
    rgba8FromResult(result, width, 8, out.data());
    for (int tile = 0; tile < width / 8; ++tile) {
        double sum = 0, ramp = 0;
        for (int y = 0; y < 8; ++y) {
            for (int x = tile * 8; x < tile * 8 + 8; ++x) {
                sum += out[4 * (size_t(y) * width + size_t(x))];
                ramp += 100.0 + double(x) / width;
            }
        }
        EXPECT_NEAR(sum / 64.0, ramp / 64.0, 1.0 / 64.0 + 8.0 / width) << "tile " << tile;
    }
}

// 16-bit frames (little-endian RGBA64) to the effect's floats and back, and rows with padding
// after them at both depths, as GStreamer may hand them over.

std::vector<uint8_t> littleEndian(const std::vector<uint16_t>& words) {
    std::vector<uint8_t> bytes;
    for (uint16_t w : words) bytes.insert(bytes.end(), {uint8_t(w & 0xff), uint8_t(w >> 8)});
    return bytes;
}

TEST(Rgba16Frames, PremultipliesAndTurnsTheRowsOver) {
    // 1 x 2: top pixel red 0x1234 at alpha 0x8000, bottom opaque blue.
    const std::vector<uint8_t> bytes = littleEndian({0x1234, 0, 0, 0x8000, 0, 0, 0xffff, 0xffff});
    const kestrel::Frame frame = frameFromRgba16(bytes.data(), 1, 2);
    ASSERT_EQ(frame.rgba.size(), 8u);
    EXPECT_FLOAT_EQ(frame.rgba[2], 1.0f);
    EXPECT_FLOAT_EQ(frame.rgba[4], 4660.0f / 65535.0f * (32768.0f / 65535.0f));
    EXPECT_FLOAT_EQ(frame.rgba[7], 32768.0f / 65535.0f);
}

TEST(Rgba16Frames, OpaqueValuesComeBackExactly) {
    std::vector<uint16_t> words;
    for (int v = 0; v < 65536; v += 257 * 3 + 1)
        words.insert(words.end(), {uint16_t(v), uint16_t(65535 - v), uint16_t(v / 3), 0xffff});
    const int width = int(words.size() / 4);
    const std::vector<uint8_t> in = littleEndian(words);
    std::vector<uint8_t> out(in.size());
    rgba16FromResult(frameFromRgba16(in.data(), width, 1).rgba, width, 1, out.data());
    EXPECT_EQ(out, in);
}

TEST(PaddedRows, AreReadAndWrittenAtTheirStride) {
    // 2 x 2 frames whose rows are followed by padding that must stay untouched.
    for (const bool wide : {false, true}) {
        const size_t pixel = wide ? 8 : 4, stride = 2 * pixel + 5;
        std::vector<uint8_t> in(2 * stride, 0xee);
        for (size_t y = 0; y < 2; ++y) {
            for (size_t i = 0; i < 2 * pixel; ++i) {
                const bool alpha = i % pixel >= pixel - (wide ? 2 : 1);  // opaque
                in[y * stride + i] = uint8_t(alpha ? 255 : 40 * y + i);
            }
        }
        const kestrel::Frame frame = wide ? frameFromRgba16(in.data(), 2, 2, stride)
                                          : frameFromRgba8(in.data(), 2, 2, stride);
        std::vector<uint8_t> out(in.size(), 0xee);
        if (wide) {
            rgba16FromResult(frame.rgba, 2, 2, out.data(), stride);
        } else {
            rgba8FromResult(frame.rgba, 2, 2, out.data(), stride);
        }
        EXPECT_EQ(out, in) << (wide ? "16" : "8") << " bits";
    }
}

}  // namespace
}  // namespace ruvovav::editor
