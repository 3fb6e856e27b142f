// What a patient person would do to find the best analysis box: press "Analyze" on every
// candidate box, one at a time on a fresh analysis, and keep the box whose render comes
// closest to the clean picture. The automatic analysis is measured against it.
#pragma once

#include <cmath>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "cli/effect_session.h"
#include "cli/value_parsers.h"

namespace ruvovav::oracle {

// Back to the declared thresholds and multipliers, as a fresh instance has them.
inline void resetAnalysis(kestrel::ParameterStore& store) {
    for (const kestrel::ParameterDeclaration& d : store.declarations()) {
        if (d.id.find("Threshold") != std::string::npos || d.id.rfind("Brightness:", 0) == 0) {
            store.set(d.id, 0, d.defaultValue, 0);
        }
    }
}

// PSNR over R, G and B of two host frames (premultiplied RGBA, alpha 1 here), peak 1.
inline double framePsnr(const std::vector<float>& image, const std::vector<float>& clean) {
    double sum = 0;
    for (size_t i = 0; i < clean.size(); ++i) {
        if (i % 4 != 3) sum += (double(image[i]) - clean[i]) * (double(image[i]) - clean[i]);
    }
    return 10.0 * std::log10(double(clean.size()) * 0.75 / sum);
}

// Every square of each side on a half-box grid, with a last row and column on the far
// edges, laid out independently of the tool's own grid.
inline std::vector<cli::PixelRect> everyBox(int width, int height, const std::vector<int>& sides) {
    std::vector<cli::PixelRect> boxes;
    for (const int side : sides) {
        std::vector<int> xs, ys;
        for (int x = 0; x + side <= width; x += side / 2) xs.push_back(x);
        for (int y = 0; y + side <= height; y += side / 2) ys.push_back(y);
        if (!xs.empty() && xs.back() != width - side) xs.push_back(width - side);
        if (!ys.empty() && ys.back() != height - side) ys.push_back(height - side);
        for (const int y : ys) {
            for (const int x : xs) boxes.push_back({x, y, side, side});
        }
    }
    return boxes;
}

struct OracleResult {
    double bestPsnr = -1e9;
    cli::PixelRect bestBox;
    int tried = 0;
};

// Renders frame `frameIndex` once per box that `acceptable` lets through, each measured
// alone, and returns the best. Throws std::logic_error when a render keeps an image it was
// lent.
inline OracleResult bestSingleBox(cli::EffectSession& session, int frameIndex,
                                  const std::vector<cli::PixelRect>& boxes,
                                  const std::function<bool(const cli::PixelRect&)>& acceptable,
                                  const std::vector<float>& clean) {
    OracleResult result;
    for (const cli::PixelRect& box : boxes) {
        if (!acceptable(box)) continue;
        resetAnalysis(session.parameters());
        session.pressAnalysis(box, frameIndex, "analyzeButton");
        const double psnr = framePsnr(session.render(frameIndex), clean);
        if (session.host().gl()->lentImages().outstanding() != 0) {
            throw std::logic_error("a render kept an image it was lent");
        }
        ++result.tried;
        if (psnr > result.bestPsnr) {
            result.bestPsnr = psnr;
            result.bestBox = box;
        }
    }
    return result;
}

}  // namespace ruvovav::oracle
