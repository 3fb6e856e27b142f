#include "render/analysis_box.h"

#include <algorithm>
#include <cmath>

namespace Plugin {
namespace {

constexpr double kEdgeLimit = 536870912.0;  // 2^29

int edge(int frameSize, double position) {
    const double rounded = std::floor(double(frameSize) * 0.5 + position + 0.5);
    return int(std::clamp(rounded, -kEdgeLimit, kEdgeLimit));
}

}  // namespace

bool BoxEdges::overlapsFrame(int frameWidth, int frameHeight) const {
    return !empty() && frameWidth > 0 && frameHeight > 0 && left < frameWidth && right > 0 &&
           bottom < frameHeight && top > 0;
}

BoxEdges boxEdges(int frameWidth, int frameHeight, double x1, double y1, double x2, double y2) {
    for (double v : {x1, y1, x2, y2}) {
        if (!std::isfinite(v)) return {};
    }
    BoxEdges box;
    box.left = edge(frameWidth, std::min(x1, x2));
    box.right = edge(frameWidth, std::max(x1, x2));
    box.bottom = edge(frameHeight, std::min(y1, y2));
    box.top = edge(frameHeight, std::max(y1, y2));
    return box;
}

}  // namespace Plugin
