#include "cli/host_frames.h"

namespace ruvovav::cli {

kestrel::Frame hostFrameOf(const media::Picture& picture) {
    kestrel::Frame frame{picture.width, picture.height, {}};
    frame.rgba.resize(picture.rgba.size());
    const size_t row = size_t(4) * size_t(picture.width);
    for (int y = 0; y < picture.height; ++y) {
        const float* in = &picture.rgba[size_t(y) * row];
        float* out = &frame.rgba[size_t(picture.height - 1 - y) * row];
        for (size_t i = 0; i < row; i += 4) {
            const float a = in[i + 3];
            out[i] = in[i] * a;
            out[i + 1] = in[i + 1] * a;
            out[i + 2] = in[i + 2] * a;
            out[i + 3] = a;
        }
    }
    return frame;
}

media::Picture pictureOf(const std::vector<float>& rgba, int width, int height) {
    media::Picture picture;
    picture.width = width;
    picture.height = height;
    picture.rgba.resize(rgba.size());
    const size_t row = size_t(4) * size_t(width);
    for (int y = 0; y < height; ++y) {
        const float* in = &rgba[size_t(height - 1 - y) * row];
        float* out = &picture.rgba[size_t(y) * row];
        for (size_t i = 0; i < row; i += 4) {
            const float a = in[i + 3];
            // Fully transparent pixels have no colour to recover.
            const float unpremultiply = a > 0.0f ? 1.0f / a : 0.0f;
            out[i] = in[i] * unpremultiply;
            out[i + 1] = in[i + 1] * unpremultiply;
            out[i + 2] = in[i + 2] * unpremultiply;
            out[i + 3] = a;
        }
    }
    return picture;
}

}  // namespace ruvovav::cli
