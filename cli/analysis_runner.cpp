#include "cli/analysis_runner.h"

#include "cli/analysis/auto_boxes.h"

namespace ruvovav::cli {
namespace {

// The effect's own luma weights, on premultiplied colour as it measures it.
analysis::LumaImage lumaOf(const kestrel::Frame& frame) {
    analysis::LumaImage luma{frame.width, frame.height, {}};
    luma.y.resize(size_t(frame.width) * size_t(frame.height));
    for (int y = 0; y < frame.height; ++y) {
        const float* row = &frame.rgba[size_t(frame.height - 1 - y) * 4 * size_t(frame.width)];
        for (int x = 0; x < frame.width; ++x) {
            const float* p = row + 4 * x;
            luma.y[size_t(y) * size_t(frame.width) + size_t(x)] =
                0.299f * p[0] + 0.587f * p[1] + 0.114f * p[2];
        }
    }
    return luma;
}

float meanLumaOf(const analysis::LumaImage& luma, const PixelRect& box) {
    double sum = 0;
    for (int y = box.y; y < box.y + box.height; ++y) {
        for (int x = box.x; x < box.x + box.width; ++x) sum += luma.at(x, y);
    }
    return float(sum / (double(box.width) * box.height));
}

PixelRect rectOf(const analysis::PixelBox& box) {
    return {box.x, box.y, box.width, box.height};
}

void checkInside(const PixelRect& box, int width, int height) {
    const bool inside = box.x >= 0 && box.y >= 0 && int64_t(box.x) + box.width <= width &&
                        int64_t(box.y) + box.height <= height;
    if (!inside) {
        throw UsageError("--box " + boxText(box) + " does not lie inside the " +
                         std::to_string(width) + "x" + std::to_string(height) + " frame");
    }
}

}  // namespace

std::string boxText(const PixelRect& box) {
    return std::to_string(box.x) + "," + std::to_string(box.y) + "," + std::to_string(box.width) +
           "," + std::to_string(box.height);
}

std::vector<PressedBox> runAnalysis(EffectSession& session, const kestrel::Frame& frame,
                                    const AnalysisRequest& request) {
    const analysis::LumaImage luma = lumaOf(frame);
    std::vector<PressedBox> pressed;
    if (request.box) {
        checkInside(*request.box, frame.width, frame.height);
        pressed.push_back({"analyzeButton", *request.box, meanLumaOf(luma, *request.box)});
    } else {
        const analysis::AutoBoxes boxes = analysis::chooseBoxes(luma);
        if (!boxes.found) {
            throw SessionError(
                "no flat area to measure the noise in was found; give one with --box");
        }
        pressed.push_back({"analyzeButton", rectOf(boxes.primary.box), boxes.primary.meanLuma});
        for (const analysis::BoxCandidate& c : boxes.brightness) {
            pressed.push_back({"AnalyzeBrightnessButton", rectOf(c.box), c.meanLuma});
        }
    }
    for (const PressedBox& p : pressed) session.pressAnalysis(p.box, request.frame, p.button);
    return pressed;
}

}  // namespace ruvovav::cli
