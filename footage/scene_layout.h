// Where the scene's parts go and what colours they get, drawn from the seed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace ruvovav::footage {

struct Box {
    int x0 = 0, y0 = 0, x1 = 0, y1 = 0;  // half-open

    bool empty() const { return x1 <= x0 || y1 <= y0; }
    bool overlaps(const Box& o, int margin) const {
        return x0 < o.x1 + margin && o.x0 < x1 + margin && y0 < o.y1 + margin && o.y0 < y1 + margin;
    }
};

struct Rgb {
    float r = 0, g = 0, b = 0;
};

struct Disc {
    float x = 0, y = 0, radius = 0;
    Rgb colour;
};

struct SceneLayout {
    int width = 0, height = 0;
    // Sky above skyBottom, except where the hills (up to hillDepth rows) and the trees rise.
    int skyBottom = 0, hillDepth = 0;
    Box trees;  // the tree mass rising into the sky; y0 is the top of its crown
    int floorTop = 0;
    Box wall, rug, sign, pole, fence;
    int stripePeriod = 8, fencePeriod = 3;
    bool stripesAcross = true;  // the rug's stripes run across the frame, else along it
    Rgb skyTop, skyHorizon, hills, foliageDark, foliageLight, floor, wallColour, paper, ink;
    Rgb rugColours[3];
    float wallShade = 0;  // brightness change across the wall's width, from light falloff
    std::vector<Disc> objects;
    uint32_t textureSeed = 0;
};

SceneLayout chooseLayout(int width, int height, uint32_t seed);

}  // namespace ruvovav::footage
