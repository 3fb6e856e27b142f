#include "footage/scene_layout.h"

#include <algorithm>
#include <cmath>

#include "footage/random_source.h"

namespace ruvovav::footage {
namespace {

constexpr uint32_t kLayoutStream = 0x1a7047u;

// A share of `size` drawn between two fractions.
int share(RandomSource& random, int size, double lo, double hi) {
    return int(std::lround(size * random.uniform(lo, hi)));
}

// Start of a run of `length` in [lo, hi - length]; lo when it does not fit.
int placeIn(RandomSource& random, int lo, int hi, int length) {
    return hi - length > lo ? random.integer(lo, hi - length) : lo;
}

// Flat areas stay within about 0.08..0.92, shading included, so that noise is not clipped.
Rgb jitter(RandomSource& random, Rgb c, float amount) {
    auto one = [&](float v) {
        return std::clamp(v + float(random.uniform(-amount, amount)), 0.08f, 0.9f);
    };
    const float r = one(c.r), g = one(c.g);
    return {r, g, one(c.b)};
}

template <typename T, size_t N>
const T& pick(RandomSource& random, const T (&choices)[N]) {
    return choices[random.integer(0, int(N) - 1)];
}

void chooseSky(SceneLayout& s, RandomSource& random) {
    struct Look {
        Rgb top, horizon;
    };
    static constexpr Look kLooks[] = {
        {{0.42f, 0.60f, 0.86f}, {0.72f, 0.82f, 0.90f}},  // clear
        {{0.66f, 0.69f, 0.74f}, {0.84f, 0.85f, 0.87f}},  // overcast
        {{0.52f, 0.58f, 0.78f}, {0.90f, 0.78f, 0.60f}},  // evening
    };
    const Look& look = pick(random, kLooks);
    s.skyTop = jitter(random, look.top, 0.04f);
    s.skyHorizon = jitter(random, look.horizon, 0.03f);
    s.hills = jitter(random, {0.40f, 0.48f, 0.52f}, 0.06f);
    s.skyBottom = share(random, s.height, 0.32, 0.36);
    s.hillDepth = share(random, s.height, 0.03, 0.045);
}

// The trees stand near the left or the right edge, so that the open sky keeps a wide part.
void chooseTrees(SceneLayout& s, RandomSource& random) {
    static constexpr Rgb kDark[] = {{0.03f, 0.08f, 0.02f}, {0.10f, 0.05f, 0.02f}};
    static constexpr Rgb kLight[] = {{0.42f, 0.62f, 0.18f}, {0.80f, 0.52f, 0.16f}};
    const int look = random.integer(0, 1);  // summer or autumn
    s.foliageDark = kDark[look];
    s.foliageLight = kLight[look];
    const int width = share(random, s.width, 0.30, 0.45);
    const int inset = share(random, s.width, 0.0, 0.1);
    const int x0 = random.uniform() < 0.5 ? inset : s.width - inset - width;
    s.trees = {x0, share(random, s.height, 0.04, 0.12), x0 + width, s.skyBottom};
}

void chooseFloor(SceneLayout& s, RandomSource& random) {
    static constexpr Rgb kFloors[] = {
        {0.24f, 0.18f, 0.13f}, {0.16f, 0.17f, 0.20f}, {0.13f, 0.19f, 0.15f}};
    s.floor = jitter(random, pick(random, kFloors), 0.02f);
    s.floorTop = share(random, s.height, 0.68, 0.71);
    const int floorDepth = s.height - s.floorTop;
    const int width = share(random, s.width, 0.35, 0.5);
    const int inset = share(random, s.width, 0.02, 0.08);
    const int x0 = random.uniform() < 0.5 ? inset : s.width - inset - width;
    const int y0 = s.floorTop + share(random, floorDepth, 0.2, 0.35);
    s.rug = {x0, y0, x0 + width, s.height - share(random, s.height, 0.0, 0.03)};
    s.stripePeriod = random.integer(6, 12);
    s.stripesAcross = random.uniform() < 0.5;
    static constexpr Rgb kRug[] = {
        {0.62f, 0.12f, 0.10f}, {0.86f, 0.80f, 0.64f}, {0.10f, 0.13f, 0.36f}};
    for (int i = 0; i < 3; ++i) s.rugColours[i] = jitter(random, kRug[i], 0.05f);
}

void chooseWall(SceneLayout& s, RandomSource& random) {
    static constexpr Rgb kWalls[] = {{0.62f, 0.36f, 0.26f},
                                     {0.64f, 0.58f, 0.47f},
                                     {0.40f, 0.46f, 0.55f},
                                     {0.66f, 0.52f, 0.28f},
                                     {0.46f, 0.54f, 0.43f}};
    s.wallColour = jitter(random, pick(random, kWalls), 0.03f);
    s.wallShade = float(random.uniform(-0.06, 0.06));
    const int width = share(random, s.width, 0.22, 0.3);
    const int margin = int(std::lround(s.width * 0.03));
    const int x0 = placeIn(random, margin, s.width - margin, width);
    const int top = s.skyBottom - share(random, s.height, 0.0, 0.1);
    s.wall = {x0, top, x0 + width, s.floorTop};
}

// A box in the band between the sky and the floor that keeps clear of `avoid`.
Box placeClear(RandomSource& random, const SceneLayout& s, int width, int y0, int y1,
               const std::vector<Box>& avoid) {
    for (int attempt = 0; attempt < 40; ++attempt) {
        const int x0 = placeIn(random, 0, s.width, width);
        const Box box{x0, y0, x0 + width, y1};
        if (std::none_of(avoid.begin(), avoid.end(),
                         [&](const Box& a) { return a.overlaps(box, 4); }))
            return box;
    }
    return {};
}

void chooseDetails(SceneLayout& s, RandomSource& random) {
    s.paper = jitter(random, {0.88f, 0.86f, 0.70f}, 0.04f);
    s.ink = {0.04f, 0.04f, 0.06f};
    const int signTop = s.skyBottom + share(random, s.height, 0.0, 0.04);
    const int signWidth = share(random, s.width, 0.14, 0.2);
    s.sign = placeClear(random, s, signWidth, signTop, signTop + share(random, s.height, 0.1, 0.14),
                        {s.wall});
    if (!s.sign.empty()) {
        const int middle = (s.sign.x0 + s.sign.x1) / 2, half = random.integer(2, 3);
        s.pole = {middle - half, s.sign.y1, middle + half, s.floorTop};
    }
    s.fencePeriod = random.integer(3, 4);
    s.fence = placeClear(random, s, share(random, s.width, 0.15, 0.24),
                         s.floorTop - share(random, s.height, 0.1, 0.16), s.floorTop,
                         {s.wall, s.sign, s.pole});
}

// Small lamps and dark knots, only where the scene is textured anyway.
void chooseObjects(SceneLayout& s, RandomSource& random) {
    static constexpr Rgb kColours[] = {{0.98f, 0.96f, 0.88f},
                                       {0.96f, 0.22f, 0.14f},
                                       {0.45f, 0.92f, 0.98f},
                                       {0.03f, 0.03f, 0.04f},
                                       {0.04f, 0.05f, 0.16f}};
    const std::vector<Box> flat = {s.wall, s.sign, s.fence};
    const int count = random.integer(8, 14);
    for (int attempt = 0; attempt < 40 * count && int(s.objects.size()) < count; ++attempt) {
        const bool onRug = random.uniform() < 0.3;
        const Box zone = onRug ? Box{s.rug.x0 + 6, s.rug.y0 + 6, s.rug.x1 - 6, s.rug.y1 - 6}
                               : Box{0, s.skyBottom + 6, s.width, s.floorTop - 6};
        const Disc disc{float(random.uniform(zone.x0, zone.x1)),
                        float(random.uniform(zone.y0, zone.y1)), float(random.uniform(1.5, 5.0)),
                        pick(random, kColours)};
        const int r = int(std::ceil(disc.radius));
        const Box bounds{int(disc.x) - r, int(disc.y) - r, int(disc.x) + r + 1,
                         int(disc.y) + r + 1};
        const bool clear = std::none_of(flat.begin(), flat.end(),
                                        [&](const Box& a) { return a.overlaps(bounds, 3); });
        if (!zone.empty() && clear) s.objects.push_back(disc);
    }
}

}  // namespace

SceneLayout chooseLayout(int width, int height, uint32_t seed) {
    RandomSource random(streamKey(seed, kLayoutStream));
    SceneLayout s;
    s.width = width;
    s.height = height;
    chooseSky(s, random);
    chooseTrees(s, random);
    chooseFloor(s, random);
    chooseWall(s, random);
    chooseDetails(s, random);
    chooseObjects(s, random);
    s.textureSeed = uint32_t(random.next());
    return s;
}

}  // namespace ruvovav::footage
