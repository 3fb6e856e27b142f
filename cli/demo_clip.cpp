#include "cli/demo_clip.h"

#include <algorithm>
#include <cmath>
#include <random>

namespace ruvovav::cli {
namespace {

// Pixels per frame of the pan: not a whole number, so neighbours never line up by chance.
constexpr double kPanX = 2.35;
constexpr double kPanY = 0.6;

double hash(int x, int y) {
    uint32_t h = uint32_t(x) * 374761393u + uint32_t(y) * 668265263u;
    h = (h ^ (h >> 13)) * 1274126177u;
    return double(h ^ (h >> 16)) / 4294967295.0;
}

// Smooth value noise: detail at many scales, like bark, foliage or stone.
double valueNoise(double x, double y) {
    const int ix = int(std::floor(x));
    const int iy = int(std::floor(y));
    const double fx = x - ix;
    const double fy = y - iy;
    const double sx = fx * fx * (3 - 2 * fx);
    const double sy = fy * fy * (3 - 2 * fy);
    const double top = hash(ix, iy) + sx * (hash(ix + 1, iy) - hash(ix, iy));
    const double bottom = hash(ix, iy + 1) + sx * (hash(ix + 1, iy + 1) - hash(ix, iy + 1));
    return top + sy * (bottom - top);
}

double texture(double x, double y) {
    double sum = 0;
    double amplitude = 0.5;
    double scale = 1.0 / 48.0;
    for (int octave = 0; octave < 5; ++octave) {
        sum += amplitude * valueNoise(x * scale, y * scale);
        amplitude *= 0.5;
        scale *= 2.0;
    }
    return sum;
}

// Scene colour at scene coordinates (x, y): sky above, a textured field with a grey wall.
void sceneColour(double x, double y, double height, float rgb[3]) {
    if (y < height * 0.3) {
        rgb[0] = 0.55f, rgb[1] = 0.65f, rgb[2] = 0.8f;  // a clear sky is flat
        return;
    }
    if (std::fmod(x + 4000.0, 600.0) < 150.0) {
        rgb[0] = rgb[1] = rgb[2] = 0.45f;  // a plain wall
        return;
    }
    const double t = texture(x, y);
    rgb[0] = float(0.15 + 0.7 * t);
    rgb[1] = float(0.2 + 0.6 * t * t + 0.1);
    rgb[2] = float(0.1 + 0.4 * t);
}

}  // namespace

media::Picture demoCleanFrame(const DemoClip& clip, int index) {
    media::Picture p{clip.width, clip.height, {}};
    p.rgba.reserve(size_t(4) * clip.width * clip.height);
    for (int y = 0; y < clip.height; ++y) {
        for (int x = 0; x < clip.width; ++x) {
            float rgb[3];
            sceneColour(x + kPanX * index, y + kPanY * index, clip.height, rgb);
            p.rgba.insert(p.rgba.end(), {rgb[0], rgb[1], rgb[2], 1.0f});
        }
    }
    return p;
}

media::Picture demoNoisyFrame(const DemoClip& clip, int index) {
    media::Picture p = demoCleanFrame(clip, index);
    std::mt19937 generator(2024u + unsigned(index));
    std::normal_distribution<float> unit(0.0f, 1.0f);
    for (size_t i = 0; i < p.rgba.size(); i += 4) {
        const float luma = 0.299f * p.rgba[i] + 0.587f * p.rgba[i + 1] + 0.114f * p.rgba[i + 2];
        // Grain rides on luma and peaks at mid-grey; colour noise is weaker and independent.
        const float grain = (0.02f + 0.16f * luma * (1.0f - luma)) * unit(generator);
        for (int c = 0; c < 3; ++c) {
            const float v = p.rgba[i + size_t(c)] + grain + 0.012f * unit(generator);
            p.rgba[i + size_t(c)] = std::clamp(v, 0.0f, 1.0f);
        }
    }
    return p;
}

}  // namespace ruvovav::cli
