#include "cli/analysis_runner.h"

#include "cli/analysis/auto_boxes.h"
#include "params/parameter_ids.h"

#include <cmath>
#include <cstdio>

namespace ruvovav::cli {
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

namespace {

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

std::string ratioText(float detailRatio) {
    char text[32];
    std::snprintf(text, sizeof text, "%.2g", double(detailRatio));
    return text;
}

std::string flatnessText(const analysis::BoxCandidate& c, const analysis::BoxSurvey& survey) {
    return "--box " + boxText(rectOf(c.box)) + ", whose picture detail is " +
           ratioText(c.detailRatio) + " times the noise at its worst scale (flat is below " +
           ratioText(survey.flatLimit) + ")";
}

std::string warningText(const analysis::AutoBoxes& boxes) {
    const analysis::PixelBox& p = boxes.primary.box;
    const analysis::PixelBox& f = boxes.flattest.box;
    if (p.x != f.x || p.y != f.y || p.width != f.width) {
        return "no area is clearly flat and compression has smoothed away the finest noise; "
               "measuring the quietest area, --box " +
               boxText(rectOf(p));
    }
    return "no area is clearly flat; measuring the noise in the flattest, " +
           flatnessText(boxes.primary, boxes.survey);
}

std::string refusalText(const analysis::AutoBoxes& boxes) {
    using analysis::NoAreaReason;
    const std::string advice = "; give a box with --box or another frame with --analyze-frame";
    switch (boxes.reason) {
        case NoAreaReason::TooSmall:
            return "the frame is too small to measure its noise in (under " +
                   std::to_string(analysis::kMinBoxSide) + " pixels on a side)";
        case NoAreaReason::Clipped:
            return "every area of the frame is clipped to black or white, which cuts its noise "
                   "off" +
                   advice;
        case NoAreaReason::Blank:
            return "the frame holds no noise to measure: every area is flat to within a "
                   "quarter of an 8-bit step" +
                   advice;
        case NoAreaReason::Textured:
            break;
    }
    return "every area of the frame holds picture detail; the flattest is " +
           flatnessText(boxes.flattest, boxes.survey) + advice;
}

// The noise's strength in a box as the effect's thresholds see it: its energy over every
// scale, whichever the noise's correlation puts it in.
double strengthOf(const analysis::BoxCandidate& c) {
    double energy = 0.0;
    for (const double e : c.scaleEnergy) energy += e;
    return std::sqrt(energy);
}

// The effect's brightness analysis sets the band's factor from the largest of its Y, U and V
// ratios to the first analysis. Where a codec or the sensor left the chroma of that tone far
// noisier or cleaner than its luma says, one channel sets the factor for all three and for
// the bands interpolated beside it, which costs more than leaving the band to interpolation.
// So a factor that strays from the luma noise ratio by more than this is taken back.
constexpr double kMaxFactorStray = 2.0;

std::string multiplierId(float meanLuma) {
    return Plugin::ids::brightnessMultiplier(Plugin::rules::brightnessBandOf(meanLuma));
}

bool pressBrightness(EffectSession& session, const analysis::BoxCandidate& box,
                     const analysis::BoxCandidate& primary, int frameIndex) {
    kestrel::ParameterStore& store = session.parameters();
    const std::size_t undoDepth = store.undoDepth();
    session.pressAnalysis(rectOf(box.box), frameIndex, "AnalyzeBrightnessButton");
    const double factor = store.value(multiplierId(box.meanLuma), frameIndex).x * 0.01;
    const double expected = strengthOf(box) / strengthOf(primary);
    const bool agrees =
        factor <= kMaxFactorStray * expected && factor * kMaxFactorStray >= expected;
    if (!agrees) {
        while (store.undoDepth() > undoDepth && store.undo()) {
        }
    }
    return agrees;
}

}  // namespace

std::string boxText(const PixelRect& box) {
    return std::to_string(box.x) + "," + std::to_string(box.y) + "," + std::to_string(box.width) +
           "," + std::to_string(box.height);
}

AnalysisRun runAnalysis(EffectSession& session, const kestrel::Frame& frame,
                        const AnalysisRequest& request) {
    const analysis::LumaImage luma = lumaOf(frame);
    AnalysisRun run;
    if (request.box) {
        checkInside(*request.box, frame.width, frame.height);
        run.pressed.push_back({"analyzeButton", *request.box, meanLumaOf(luma, *request.box)});
        session.pressAnalysis(*request.box, request.frame, "analyzeButton");
        return run;
    }
    analysis::AutoBoxes boxes = analysis::chooseBoxes(luma);
    if (!boxes.found) throw SessionError(refusalText(boxes));
    if (boxes.choice == analysis::BoxChoice::NearlyFlat) run.warning = warningText(boxes);
    run.pressed.push_back({"analyzeButton", rectOf(boxes.primary.box), boxes.primary.meanLuma});
    session.pressAnalysis(rectOf(boxes.primary.box), request.frame, "analyzeButton");
    for (const analysis::BoxCandidate& c : boxes.brightness) {
        if (pressBrightness(session, c, boxes.primary, request.frame)) {
            run.pressed.push_back({"AnalyzeBrightnessButton", rectOf(c.box), c.meanLuma});
        }
    }
    run.survey = std::move(boxes.survey);
    return run;
}

}  // namespace ruvovav::cli
