#include "footage/scene.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "footage/random_source.h"
#include "footage/scene_layout.h"

namespace ruvovav::footage {
namespace {

float lattice(int x, int y, uint32_t seed) {
    const uint64_t h = mix64((uint64_t(uint32_t(x)) << 32 | uint32_t(y)) ^ (uint64_t(seed) << 7));
    return float(h >> 40) * 0x1.0p-24f;
}

// Smooth value noise in [0, 1].
float valueNoise(float x, float y, uint32_t seed) {
    const float fx0 = std::floor(x), fy0 = std::floor(y);
    const int ix = int(fx0), iy = int(fy0);
    const float fx = x - fx0, fy = y - fy0;
    const float sx = fx * fx * (3 - 2 * fx), sy = fy * fy * (3 - 2 * fy);
    const float top = std::lerp(lattice(ix, iy, seed), lattice(ix + 1, iy, seed), sx);
    const float bottom = std::lerp(lattice(ix, iy + 1, seed), lattice(ix + 1, iy + 1, seed), sx);
    return std::lerp(top, bottom, sy);
}

// Octaves whose amplitude halves as their frequency doubles: the 1/f spectrum of natural
// texture. In [0, 1].
float fractal(float x, float y, float scale, int octaves, uint32_t seed) {
    float sum = 0, amplitude = 1, total = 0, frequency = 1 / scale;
    for (int octave = 0; octave < octaves; ++octave) {
        sum += amplitude * valueNoise(x * frequency, y * frequency, seed + uint32_t(octave));
        total += amplitude;
        amplitude *= 0.5f;
        frequency *= 2;
    }
    return sum / total;
}

Rgb mix(Rgb a, Rgb b, float t) {
    return {std::lerp(a.r, b.r, t), std::lerp(a.g, b.g, t), std::lerp(a.b, b.b, t)};
}

Rgb scaled(Rgb c, float k) {
    return {c.r * k, c.g * k, c.b * k};
}

void put(Canvas& canvas, int x, int y, Rgb c) {
    float* p = canvas.at(x, y);
    p[0] = std::clamp(c.r, 0.0f, 1.0f);
    p[1] = std::clamp(c.g, 0.0f, 1.0f);
    p[2] = std::clamp(c.b, 0.0f, 1.0f);
}

template <typename Paint>
void fill(Canvas& canvas, Box box, Paint paint) {
    box = {std::max(box.x0, 0), std::max(box.y0, 0), std::min(box.x1, canvas.width),
           std::min(box.y1, canvas.height)};
    for (int y = box.y0; y < box.y1; ++y)
        for (int x = box.x0; x < box.x1; ++x) put(canvas, x, y, paint(x, y));
}

// Leaves: a 1/f canopy with fine speckle on top.
void paintFoliage(Canvas& canvas, const SceneLayout& s) {
    fill(canvas, {0, 0, canvas.width, canvas.height}, [&](int x, int y) {
        const float canopy = fractal(float(x), float(y), 40.0f, 5, s.textureSeed);
        const float speckle = valueNoise(x / 2.2f, y / 2.2f, s.textureSeed + 101);
        const float t = std::clamp(1.5f * canopy - 0.3f + 0.45f * (speckle - 0.5f), 0.0f, 1.0f);
        return mix(s.foliageDark, s.foliageLight, t);
    });
}

// First row below the sky in column x: the tree crown, or the ridge of the hills.
int skyEdge(const SceneLayout& s, int x) {
    const float wobble = fractal(float(x), 0.5f, 12.0f, 3, s.textureSeed + 211) - 0.5f;
    if (x >= s.trees.x0 && x < s.trees.x1) {
        const float u = float(x - s.trees.x0) / float(s.trees.x1 - s.trees.x0);
        const float dome = std::pow(1 - std::sin(std::numbers::pi_v<float> * u), 1.5f);
        return s.trees.y0 + int((s.skyBottom - s.trees.y0) * 0.8f * dome + 14 * wobble);
    }
    const float ridge = fractal(float(x), 0.5f, 60.0f, 3, s.textureSeed + 307);
    return s.skyBottom - int(s.hillDepth * (0.3f + 0.7f * ridge));
}

// A clean gradient, darker overhead, with a faint sideways tilt from the sun.
void paintSky(Canvas& canvas, const SceneLayout& s) {
    for (int x = 0; x < canvas.width; ++x) {
        const int edge = std::clamp(skyEdge(s, x), 0, canvas.height);
        const float tilt = 1.0f + 0.03f * (float(x) / canvas.width - 0.5f);
        for (int y = 0; y < edge; ++y)
            put(canvas, x, y, scaled(mix(s.skyTop, s.skyHorizon, float(y) / s.skyBottom), tilt));
        const bool hills = x < s.trees.x0 || x >= s.trees.x1;
        for (int y = edge; hills && y < std::min(s.skyBottom, canvas.height); ++y) {
            const float haze = fractal(float(x), float(y), 10.0f, 3, s.textureSeed + 401);
            put(canvas, x, y, scaled(s.hills, 0.85f + 0.3f * haze));
        }
    }
}

void paintGround(Canvas& canvas, const SceneLayout& s) {
    const float depth = float(canvas.height - s.floorTop);
    fill(canvas, {0, s.floorTop, canvas.width, canvas.height}, [&](int, int y) {
        return scaled(s.floor, 1.08f - 0.16f * float(y - s.floorTop) / depth);
    });
    // Woven stripes: wide bands of three colours over a two-pixel twill.
    fill(canvas, s.rug, [&](int x, int y) {
        const int along = s.stripesAcross ? y - s.rug.y0 : x - s.rug.x0;
        const float twill = ((x >> 1) + (y >> 1)) & 1 ? 1.08f : 0.92f;
        return scaled(s.rugColours[(along / s.stripePeriod) % 3], twill);
    });
}

void paintWall(Canvas& canvas, const SceneLayout& s) {
    const float width = float(s.wall.x1 - s.wall.x0);
    fill(canvas, s.wall, [&](int x, int) {
        return scaled(s.wallColour, 1.0f + s.wallShade * (2 * (x - s.wall.x0) / width - 1));
    });
}

// Thin white pickets and two rails: one-pixel lines of full contrast.
void paintFence(Canvas& canvas, const SceneLayout& s) {
    const Rgb white{0.9f, 0.9f, 0.86f};
    const Box& f = s.fence;
    fill(canvas, f, [&](int x, int y) {
        const bool rail = y - f.y0 == 3 || y - f.y0 == 4 || f.y1 - y == 5 || f.y1 - y == 6;
        const bool picket = (x - f.x0) % s.fencePeriod == 0;
        const float* behind = canvas.at(x, y);
        return rail || picket ? white : Rgb{behind[0], behind[1], behind[2]};
    });
}

// Lines of blocky glyphs on a bordered panel, like lettering seen from afar.
void paintSign(Canvas& canvas, const SceneLayout& s) {
    const Box& b = s.sign;
    fill(canvas, s.pole, [&](int, int) { return Rgb{0.12f, 0.12f, 0.13f}; });
    fill(canvas, b, [&](int x, int y) {
        const int u = x - b.x0, v = y - b.y0;
        if (u < 2 || v < 2 || b.x1 - x <= 2 || b.y1 - y <= 2) return s.ink;
        const int cellX = (u - 4) / 6, cellY = (v - 4) / 10, bitX = (u - 4) % 6,
                  bitY = (v - 4) % 10;
        const bool inside = u >= 4 && v >= 4 && b.x1 - x > 4 && b.y1 - y > 4;
        if (!inside || bitX > 4 || bitY > 6) return s.paper;
        const bool space = lattice(cellX, cellY, s.textureSeed + 503) < 0.18f;
        const bool on = lattice(cellX * 8 + bitX, cellY * 8 + bitY, s.textureSeed + 601) < 0.42f;
        return on && !space ? s.ink : s.paper;
    });
}

void paintObjects(Canvas& canvas, const SceneLayout& s) {
    for (const Disc& d : s.objects) {
        const int r = int(std::ceil(d.radius));
        const Box bounds{int(d.x) - r, int(d.y) - r, int(d.x) + r + 1, int(d.y) + r + 1};
        fill(canvas, bounds, [&](int x, int y) {
            const float dx = x + 0.5f - d.x, dy = y + 0.5f - d.y;
            const float* behind = canvas.at(x, y);
            return dx * dx + dy * dy <= d.radius * d.radius ? d.colour
                                                            : Rgb{behind[0], behind[1], behind[2]};
        });
    }
}

}  // namespace

Canvas paintScene(int width, int height, uint32_t seed) {
    Canvas canvas{width, height, std::vector<float>(size_t(width) * height * 3)};
    const SceneLayout layout = chooseLayout(width, height, seed);
    paintFoliage(canvas, layout);
    paintSky(canvas, layout);
    paintGround(canvas, layout);
    paintWall(canvas, layout);
    paintFence(canvas, layout);
    paintSign(canvas, layout);
    paintObjects(canvas, layout);
    return canvas;
}

void sampleView(const Canvas& canvas, double originX, double originY, media::Picture& out) {
    out.rgba.resize(size_t(out.width) * out.height * 4);
    float* dst = out.rgba.data();
    for (int i = 0; i < out.height; ++i) {
        const double cy = originY + i;
        const int y0 = std::min(int(cy), canvas.height - 1),
                  y1 = std::min(y0 + 1, canvas.height - 1);
        const float fy = float(cy - y0);
        for (int j = 0; j < out.width; ++j, dst += 4) {
            const double cx = originX + j;
            const int x0 = std::min(int(cx), canvas.width - 1);
            const int x1 = std::min(x0 + 1, canvas.width - 1);
            const float fx = float(cx - x0);
            for (int c = 0; c < 3; ++c) {
                const float top = std::lerp(canvas.at(x0, y0)[c], canvas.at(x1, y0)[c], fx);
                const float bottom = std::lerp(canvas.at(x0, y1)[c], canvas.at(x1, y1)[c], fx);
                dst[c] = std::lerp(top, bottom, fy);
            }
            dst[3] = 1.0f;
        }
    }
}

}  // namespace ruvovav::footage
