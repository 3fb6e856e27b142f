// 16-bit frames (little-endian RGBA64) to the effect's floats and back, and rows with padding
// after them at both depths, as GStreamer may hand them over.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "editor_core/rgba16_frames.h"
#include "editor_core/rgba8_frames.h"

namespace ruvovav::editor {
namespace {

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
