// Moves the threshold table, the brightness multipliers and "imageAnalysed" between the
// host's parameters and an AnalysisResult. Nothing is cached: every call reads afresh.
#pragma once

#include "gl/host_call.h"
#include "params/analysis_result.h"

namespace Plugin {

// Mean Y back to mid-grey, mean V to 0, `layerCount` layers with empty sequences.
void resetAnalysisResult(AnalysisResult& result, int layerCount);

// Fills all layers from the panel at the render time, as fractions. Without a valid render
// context the result is left as it was.
void readThresholds(const HostCall& call, AnalysisResult& result);

// Whether any threshold of `layer` is non-zero (NaN included) at time 0.
bool layerHasThresholds(const HostCall& call, int layer);

// Writes an analysis back as one undo step: every threshold (layers the result lacks get
// 0), the brightness band of the mean Y marked, "imageAnalysed" set, and the analysis-box
// view switched to the result. Without a valid render context nothing is written.
void writeAnalysis(const HostCall& call, const AnalysisResult& result);

// Marks the band of `brightness` (0..100) and re-interpolates the unmarked multipliers
// between it and the nearest marked bands, at time 0. `noUndo` writes outside undo.
void interpolateBrightness(const HostCall& call, int brightness, bool noUndo);

}  // namespace Plugin
