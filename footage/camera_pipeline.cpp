#include "footage/camera_pipeline.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace ruvovav::footage {
namespace {

// Daylight white balance of a typical sensor: red and blue collect fewer photons than green
// and are amplified afterwards, so they end up noisier.
constexpr float kWhiteBalance[3] = {2.0f, 1.0f, 1.55f};
// Electrons at the white level and read noise at strength 1: a small sensor at high ISO.
constexpr double kFullWell = 400.0;
constexpr double kReadNoise = 3.0;

enum Channel { Red, Green, Blue };

Channel siteChannel(int x, int y) {
    if (y & 1) return x & 1 ? Blue : Green;
    return x & 1 ? Green : Red;
}

float srgbToLinear(float v) {
    return v <= 0.04045f ? v / 12.92f : std::pow((v + 0.055f) / 1.055f, 2.4f);
}

float linearToSrgb(float v) {
    v = std::clamp(v, 0.0f, 1.0f);
    return v <= 0.0031308f ? 12.92f * v : 1.055f * std::pow(v, 1 / 2.4f) - 0.055f;
}

// Raw sensor values in 0..1 of the white level, one channel per site.
std::vector<float> mosaic(const media::Picture& scene) {
    std::vector<float> raw(size_t(scene.width) * scene.height);
    for (int y = 0; y < scene.height; ++y)
        for (int x = 0; x < scene.width; ++x) {
            const size_t i = size_t(y) * scene.width + x;
            const Channel c = siteChannel(x, y);
            raw[i] = srgbToLinear(scene.rgba[i * 4 + c]) / kWhiteBalance[c];
        }
    return raw;
}

// Photon counts are Poisson; the read-out adds Gaussian noise and may go below black. Both
// standard deviations scale with `strength` in units of the white level.
void addSensorNoise(std::vector<float>& raw, float strength, RandomSource& random) {
    const double electrons = kFullWell / (double(strength) * strength);
    const double readNoise = kReadNoise / strength;
    for (float& v : raw) {
        const double counted = random.poisson(v * electrons) + readNoise * random.gaussian();
        v = float(std::min(counted / electrons, 1.0));  // the white level clips
    }
}

int reflect(int i, int n) {
    return i < 0 ? -i : (i >= n ? 2 * n - 2 - i : i);
}

// Bilinear demosaicing: a missing channel is the mean of its nearest sites of that channel.
// Mixing neighbours is what correlates a camera's noise between pixels.
class Demosaic {
public:
    Demosaic(const std::vector<float>& raw, int width, int height)
        : raw_(raw), width_(width), height_(height) {}

    float value(int x, int y, Channel c) const {
        const Channel site = siteChannel(x, y);
        if (site == c) return at(x, y, 0, 0);
        if (c == Green)
            return (at(x, y, -1, 0) + at(x, y, 1, 0) + at(x, y, 0, -1) + at(x, y, 0, 1)) / 4;
        if (site != Green)
            return (at(x, y, -1, -1) + at(x, y, 1, -1) + at(x, y, -1, 1) + at(x, y, 1, 1)) / 4;
        const bool rowHasChannel = (y & 1) == (c == Blue ? 1 : 0);
        return rowHasChannel ? (at(x, y, -1, 0) + at(x, y, 1, 0)) / 2
                             : (at(x, y, 0, -1) + at(x, y, 0, 1)) / 2;
    }

private:
    float at(int x, int y, int dx, int dy) const {
        return raw_[size_t(reflect(y + dy, height_)) * width_ + reflect(x + dx, width_)];
    }

    const std::vector<float>& raw_;
    int width_, height_;
};

void develop(const std::vector<float>& raw, media::Picture& out) {
    const Demosaic demosaic(raw, out.width, out.height);
    out.rgba.resize(size_t(out.width) * out.height * 4);
    float* dst = out.rgba.data();
    for (int y = 0; y < out.height; ++y)
        for (int x = 0; x < out.width; ++x, dst += 4) {
            for (int c = 0; c < 3; ++c)
                dst[c] = linearToSrgb(demosaic.value(x, y, Channel(c)) * kWhiteBalance[c]);
            dst[3] = 1.0f;
        }
}

}  // namespace

void exposeCamera(const media::Picture& scene, float strength, RandomSource& random,
                  media::Picture& clean, media::Picture& noisy) {
    std::vector<float> raw = mosaic(scene);
    clean.width = noisy.width = scene.width;
    clean.height = noisy.height = scene.height;
    develop(raw, clean);
    if (strength > 0) addSensorNoise(raw, strength, random);
    develop(raw, noisy);
}

}  // namespace ruvovav::footage
