#include "flow/flow_stages.h"

#include "flow/flow_average.h"
#include "flow/flow_pyramid.h"
#include "flow/flow_solve.h"
#include "flow/flow_update.h"
#include "flow/flow_upsample.h"
#include "flow/poly_expansion.h"

namespace Plugin {

namespace {

FlowBand bandOf(const FlowWorker& w, int size) {
    return flowBandOf(w.index, w.count, size);
}

void buildPyramids(FlowState& s, const FlowWorker& w) {
    for (int level = 1; level <= s.levels; ++level) {
        TextureDataV1& dstA = *s.pyramidA[size_t(level - 1)];
        const FlowBand rows = bandOf(w, dstA.height);
        reduceBinomialRows(s.greyA(level - 1), dstA, rows.begin, rows.end);
        reduceBinomialRows(s.greyB(level - 1), *s.pyramidB[size_t(level - 1)], rows.begin,
                           rows.end);
        w.barrier();
    }
}

void expandLevel(FlowState& s, const FlowWorker& w, int level) {
    const TextureDataV1& a = s.greyA(level);
    if (w.coordinator) {
        s.coeffA.resize(a.width, a.height);
        s.coeffB.resize(a.width, a.height);
    }
    w.barrier();
    const FlowBand rows = bandOf(w, a.height);
    const int n = s.settings.polyN;
    expandPolynomialRows(a, s.coeffA, n, s.settings.polySigma, rows.begin, rows.end);
    expandPolynomialRows(s.greyB(level), s.coeffB, n, s.settings.polySigma, rows.begin, rows.end);
    if (w.coordinator) {
        s.matrices.resize(a.width, a.height);
        s.matricesScratch.resize(a.width, a.height);
    }
    w.barrier();
}

// Update, average both ways and solve for one direction at the current level.
void refineDirection(FlowState& s, const FlowWorker& w, TextureDataV4& flow,
                     FlowDirection direction) {
    const bool forward = direction == FlowDirection::Forward;
    const TextureDataV5& r0 = forward ? s.coeffA : s.coeffB;
    const TextureDataV5& r1 = forward ? s.coeffB : s.coeffA;
    const FlowBand rows = bandOf(w, flow.height);
    const FlowBand cols = bandOf(w, flow.width);
    const int r = s.settings.averagingRadius;
    updateMatrixRows(r0, r1, flow, direction, s.matrices, rows.begin, rows.end);
    w.barrier();
    averageRowsTriangular(s.matrices, s.matricesScratch, r, rows.begin, rows.end);
    w.barrier();
    averageColumnsTriangular(s.matricesScratch, s.matrices, r, cols.begin, cols.end);
    w.barrier();
    solveFlowRows(s.matrices, flow, direction, rows.begin, rows.end);
    w.barrier();
}

}  // namespace

void runFlowStages(FlowState& s, const FlowWorker& w) {
    buildPyramids(s, w);
    for (int level = s.levels; level >= 0; --level) {
        TextureDataV4& flow = s.flowAt(level);
        // The coarsest level starts from zero flow; the others from the level above.
        if (level < s.levels) {
            const TextureDataV4& coarse = s.flowAt(level + 1);
            const FlowBand rows = bandOf(w, coarse.height);
            upsampleFlowRows(coarse, flow, rows.begin, rows.end);
            w.barrier();
        }
        expandLevel(s, w, level);
        for (int i = 0; i < s.settings.iterations; ++i) {
            refineDirection(s, w, flow, FlowDirection::Forward);
            refineDirection(s, w, flow, FlowDirection::Backward);
        }
    }
}

}  // namespace Plugin
