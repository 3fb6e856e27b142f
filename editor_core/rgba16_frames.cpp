#include "editor_core/rgba16_frames.h"

#include <algorithm>

namespace ruvovav::editor {
namespace {

constexpr float kStep = 65535.0f;
constexpr size_t kPixelBytes = 8;

float valueAt(const uint8_t* bytes) {
    return float(uint16_t(bytes[0] | (bytes[1] << 8))) * (1.0f / kStep);
}

// As the tool's encoder rounds; written so that NaN lands on 0.
void storeValue(float value, uint8_t* bytes) {
    const float v = value > 0.0f ? std::min(value, 1.0f) : 0.0f;
    const auto word = uint16_t(v * kStep + 0.5f);
    bytes[0] = uint8_t(word & 0xff);
    bytes[1] = uint8_t(word >> 8);
}

}  // namespace

kestrel::Frame frameFromRgba16(const uint8_t* pixels, int width, int height, size_t stride) {
    kestrel::Frame frame{width, height, {}};
    const size_t row = size_t(4) * size_t(width);
    const size_t step = stride != 0 ? stride : kPixelBytes * size_t(width);
    frame.rgba.resize(row * size_t(height));
    for (int y = 0; y < height; ++y) {
        const uint8_t* in = pixels + size_t(y) * step;
        float* out = &frame.rgba[size_t(height - 1 - y) * row];
        for (int x = 0; x < width; ++x) {
            const uint8_t* p = in + kPixelBytes * size_t(x);
            float* q = out + 4 * size_t(x);
            const float a = valueAt(p + 6);
            for (size_t c = 0; c < 3; ++c) q[c] = valueAt(p + 2 * c) * a;
            q[3] = a;
        }
    }
    return frame;
}

void rgba16FromResult(const std::vector<float>& rgba, int width, int height, uint8_t* out,
                      size_t stride) {
    const size_t row = size_t(4) * size_t(width);
    const size_t step = stride != 0 ? stride : kPixelBytes * size_t(width);
    for (int y = 0; y < height; ++y) {
        const float* in = &rgba[size_t(height - 1 - y) * row];
        uint8_t* line = out + size_t(y) * step;
        for (int x = 0; x < width; ++x) {
            const float* p = in + 4 * size_t(x);
            uint8_t* q = line + kPixelBytes * size_t(x);
            const float a = p[3];
            const float unpremultiply = a > 0.0f ? 1.0f / a : 0.0f;
            for (size_t c = 0; c < 3; ++c) storeValue(p[c] * unpremultiply, q + 2 * c);
            storeValue(a, q + 6);
        }
    }
}

}  // namespace ruvovav::editor
