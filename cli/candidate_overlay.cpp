#include "cli/candidate_overlay.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <string>

#include "cli/label_text.h"

namespace ruvovav::cli {
namespace {

using Colour = std::array<float, 3>;

constexpr Colour kFlat = {0.1f, 0.9f, 0.2f};
constexpr Colour kUsable = {1.0f, 0.85f, 0.1f};
constexpr Colour kTextured = {0.95f, 0.15f, 0.1f};
constexpr Colour kChosen = {1.0f, 1.0f, 1.0f};

void setPixel(media::Picture& p, int x, int y, const Colour& c) {
    if (x < 0 || y < 0 || x >= p.width || y >= p.height) return;
    float* px = &p.rgba[(std::size_t(y) * std::size_t(p.width) + std::size_t(x)) * 4];
    std::copy(c.begin(), c.end(), px);
    px[3] = 1.0f;
}

void outline(media::Picture& p, const analysis::PixelBox& b, const Colour& c, int thickness) {
    for (int t = 0; t < thickness; ++t) {
        for (int x = b.x; x < b.x + b.width; ++x) {
            setPixel(p, x, b.y + t, c);
            setPixel(p, x, b.y + b.height - 1 - t, c);
        }
        for (int y = b.y; y < b.y + b.height; ++y) {
            setPixel(p, b.x + t, y, c);
            setPixel(p, b.x + b.width - 1 - t, y, c);
        }
    }
}

const Colour& colourOf(const analysis::BoxCandidate& c, const analysis::BoxSurvey& survey) {
    if (analysis::isFlat(c, survey)) return kFlat;
    if (c.detailRatio < analysis::kUsableDetailRatio) return kUsable;
    return kTextured;
}

std::string ratioLabel(float detailRatio) {
    if (!(detailRatio < 99.5f)) return "99";
    char text[16];
    std::snprintf(text, sizeof text, detailRatio < 9.95f ? "%.1f" : "%.0f", double(detailRatio));
    return text;
}

// The font is 5 x 7 with one pixel between letters.
constexpr int kGlyphAdvance = 6;

void labelCentre(media::Picture& p, const analysis::PixelBox& b, const std::string& text) {
    const int width = int(text.size()) * kGlyphAdvance;
    drawLabel(p, text, b.x + (b.width - width) / 2, b.y + (b.height - 7) / 2, 1);
}

}  // namespace

media::Picture drawCandidates(const media::Picture& frame, const analysis::BoxSurvey& survey,
                              const std::vector<PressedBox>& pressed) {
    media::Picture picture = frame;
    for (const analysis::BoxCandidate& c : survey.measured) {
        outline(picture, c.box, colourOf(c, survey), 1);
    }
    for (const analysis::BoxCandidate& c : survey.measured) {
        labelCentre(picture, c.box, ratioLabel(c.detailRatio));
    }
    for (const PressedBox& b : pressed) {
        const analysis::PixelBox box{b.box.x, b.box.y, b.box.width, b.box.height};
        outline(picture, box, kChosen, 3);
        drawLabel(picture, b.button == "analyzeButton" ? "ANALYZE" : "BRIGHTNESS", box.x + 4,
                  box.y + 4, 1);
    }
    return picture;
}

}  // namespace ruvovav::cli
