#include "editor_core/rgba8_frames.h"

#include <algorithm>
#include <cmath>

namespace ruvovav::editor {
namespace {

constexpr float kStep = 255.0f;
// As the tool's decoder scales 8-bit values, so that both hand the effect the same floats.
constexpr float kUnit = 1.0f / kStep;

uint8_t roundedByte(float value) {
    return uint8_t(std::lround(std::clamp(value, 0.0f, 1.0f) * kStep));
}

}  // namespace

kestrel::Frame frameFromRgba8(const uint8_t* pixels, int width, int height, size_t stride) {
    kestrel::Frame frame{width, height, {}};
    const size_t row = size_t(4) * size_t(width);
    const size_t step = stride != 0 ? stride : row;
    frame.rgba.resize(row * size_t(height));
    for (int y = 0; y < height; ++y) {
        const uint8_t* in = pixels + size_t(y) * step;
        float* out = &frame.rgba[size_t(height - 1 - y) * row];
        for (size_t i = 0; i < row; i += 4) {
            const float a = float(in[i + 3]) * kUnit;
            for (size_t c = 0; c < 3; ++c) out[i + c] = float(in[i + c]) * kUnit * a;
            out[i + 3] = a;
        }
    }
    return frame;
}

void rgba8FromResult(const std::vector<float>& rgba, int width, int height, uint8_t* out,
                     size_t stride) {
    const size_t row = size_t(4) * size_t(width);
    const size_t step = stride != 0 ? stride : row;
    for (int y = 0; y < height; ++y) {
        const float* in = &rgba[size_t(height - 1 - y) * row];
        uint8_t* line = out + size_t(y) * step;
        for (int x = 0; x < width; ++x) {
            const float* p = in + 4 * size_t(x);
            const float a = p[3];
            const float unpremultiply = a > 0.0f ? 1.0f / a : 0.0f;
            for (size_t c = 0; c < 3; ++c) {
                line[4 * size_t(x) + c] = ditheredByte(p[c] * unpremultiply, x, y);
            }
            line[4 * size_t(x) + 3] = roundedByte(a);
        }
    }
}

int bayerRank(int x, int y) {
    // The 2 x 2 pattern 0 2 / 3 1, nested: the lowest coordinate bits choose the highest
    // bits of the rank, so neighbouring pixels get ranks far apart.
    int rank = 0;
    for (int bit = 0; bit < 3; ++bit) {
        const int bx = (x >> bit) & 1;
        const int by = (y >> bit) & 1;
        rank = rank * 4 + 2 * (bx ^ by) + by;
    }
    return rank;
}

uint8_t ditheredByte(float value, int x, int y) {
    const float threshold = (float(bayerRank(x, y)) + 0.5f) / 64.0f;
    const float scaled = std::clamp(value, 0.0f, 1.0f) * kStep + threshold;
    return uint8_t(std::min(std::floor(scaled), kStep));
}

}  // namespace ruvovav::editor
