#include "params/threshold_settings.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <string>

#include "params/parameter_ids.h"

namespace Plugin {
namespace {

using Vec3 = plugin_glsl_types::genVec3<float>;
// One wavelet level of one layer, indexed by sub-band (HH, LH, HL).
using LevelThresholds = std::array<Vec3, 3>;
using Marks = std::array<bool, ids::kBrightnessBands>;

constexpr int kChannels = 3;
constexpr int kSubBands = 3;
constexpr int32_t kPlainMode = 0;
constexpr int32_t kUndoableMode = 2;
constexpr int32_t kTimeZero = 0;
constexpr float kFromPercent = 0.01f;
constexpr float kToPercent = 100.0f;
constexpr int kLastBand = ids::kBrightnessBands - 1;

float& channelOf(Vec3& v, int channel) {
    return channel == 0 ? v.x : (channel == 1 ? v.y : v.z);
}

float channelOf(const Vec3& v, int channel) {
    return channel == 0 ? v.x : (channel == 1 ? v.y : v.z);
}

bool renderContextValid(const HostCall& call) {
    const RenderContext* rc = call.renderContext();
    return rc != nullptr && rc->valid != 0;
}

// The nine panel values of one layer and level, read in panel order (Y HH, Y LH, ... V HL).
LevelThresholds readLevel(const HostCall& call, int layer, int level, int32_t time) {
    LevelThresholds values{};
    for (int channel = 0; channel < kChannels; ++channel) {
        for (int band = 0; band < kSubBands; ++band) {
            const std::string id = ids::threshold(channel, layer, band, level);
            channelOf(values[band], channel) =
                call.api->GetFloatParameter(call.host, id.c_str(), time);
        }
    }
    return values;
}

void writeLevel(const HostCall& call, int layer, int level, const LevelThresholds& values,
                int32_t time) {
    for (int channel = 0; channel < kChannels; ++channel) {
        for (int band = 0; band < kSubBands; ++band) {
            const std::string id = ids::threshold(channel, layer, band, level);
            const float percent = channelOf(values[band], channel) * kToPercent;
            call.api->SetFloatParameter(call.host, id.c_str(), time, percent, kUndoableMode);
        }
    }
}

Vec3 scaled(const Vec3& v, float factor) {
    return Vec3{v.x * factor, v.y * factor, v.z * factor};
}

// Missing entries read as 0, so a short sequence cannot index past its end.
Vec3 entryOrZero(const std::vector<Vec3>& sequence, int index) {
    return index < int(sequence.size()) ? sequence[size_t(index)] : Vec3{};
}

// The thresholds to write for a layer and level; layers the analysis did not reach are 0.
LevelThresholds analysedLevel(const AnalysisResult& result, int layer, int level) {
    if (layer >= int(result.layers.size())) return LevelThresholds{};
    const LayerThresholds& l = result.layers[size_t(layer)];
    return {entryOrZero(l.hh, level - 1), entryOrZero(l.lh, level - 1),
            entryOrZero(l.hl, level - 1)};
}

bool anyNonZero(const LevelThresholds& values) {
    // A NaN compares unequal to 0 and so counts as a threshold.
    return std::any_of(values.begin(), values.end(), [](const Vec3& v) {
        return !(v.x == 0.0f) || !(v.y == 0.0f) || !(v.z == 0.0f);
    });
}

void markBrightnessBand(const HostCall& call, int percent, int32_t time, int32_t mode) {
    const std::string id = ids::brightnessModifiedByUser(percent);
    call.api->SetBoolParameter(call.host, id.c_str(), time, true, mode);
}

void leaveAnalysisBoxView(const HostCall& call, int32_t time) {
    if (call.api->GetChoiceParameter(call.host, ids::kViewOption, time) !=
        rules::kViewAnalysisBox) {
        return;
    }
    call.api->SetChoiceParameter(call.host, ids::kViewOption, time, rules::kViewResult,
                                 kUndoableMode);
}

Marks readMarks(const HostCall& call) {
    Marks marks{};
    for (int band = 0; band <= kLastBand; ++band) {
        const std::string id = ids::brightnessModifiedByUser(band * 10);
        marks[size_t(band)] = call.api->GetBoolParameter(call.host, id.c_str(), kTimeZero);
    }
    return marks;
}

// The nearest marked band from `band` in direction `step`, or `none` past the ends.
int nearestMark(const Marks& marks, int band, int step, int none) {
    for (int j = band + step; j >= 0 && j <= kLastBand; j += step) {
        if (marks[size_t(j)]) return j;
    }
    return none;
}

float readMultiplier(const HostCall& call, int band) {
    const std::string id = ids::brightnessMultiplier(band * 10);
    return call.api->GetFloatParameter(call.host, id.c_str(), kTimeZero);
}

// Writes the bands strictly between `from` and `to` on the line through both values.
void blendBetween(const HostCall& call, int from, float vFrom, int to, float vTo, int32_t mode) {
    for (int j = from + 1; j < to; ++j) {
        const float t = float(j - from) / float(to - from);
        const std::string id = ids::brightnessMultiplier(j * 10);
        call.api->SetFloatParameter(call.host, id.c_str(), kTimeZero, (1.0f - t) * vFrom + t * vTo,
                                    mode);
    }
}

}  // namespace

void resetAnalysisResult(AnalysisResult& result, int layerCount) {
    result.meanColour.x = 0.5f;
    result.meanColour.z = 0.0f;
    result.layers.resize(size_t(std::max(layerCount, 0)));
    for (LayerThresholds& layer : result.layers) {
        layer.hh.clear();
        layer.lh.clear();
        layer.hl.clear();
    }
}

void readThresholds(const HostCall& call, AnalysisResult& result) {
    if (!renderContextValid(call)) return;
    resetAnalysisResult(result, ids::kFrequencyLayers);
    const int32_t time = call.renderContext()->time;
    for (int layer = 0; layer < ids::kFrequencyLayers; ++layer) {
        LayerThresholds& target = result.layers[size_t(layer)];
        for (int level = 1; level <= ids::kWaveletLevels; ++level) {
            const LevelThresholds values = readLevel(call, layer, level, time);
            target.hh.push_back(scaled(values[0], kFromPercent));
            target.lh.push_back(scaled(values[1], kFromPercent));
            target.hl.push_back(scaled(values[2], kFromPercent));
        }
    }
}

bool layerHasThresholds(const HostCall& call, int layer) {
    // Time 0 on purpose: whether a layer is processed must not change along the clip.
    for (int level = 1; level <= ids::kWaveletLevels; ++level) {
        if (anyNonZero(readLevel(call, layer, level, kTimeZero))) return true;
    }
    return false;
}

void writeAnalysis(const HostCall& call, const AnalysisResult& result) {
    if (!renderContextValid(call)) return;
    const int32_t time = call.renderContext()->time;
    call.api->BeginUndoGroup(call.host, "Ruvovav Analysis");
    for (int layer = 0; layer < ids::kFrequencyLayers; ++layer) {
        for (int level = 1; level <= ids::kWaveletLevels; ++level) {
            writeLevel(call, layer, level, analysedLevel(result, layer, level), time);
        }
    }
    markBrightnessBand(call, rules::brightnessBandOf(result.meanColour.x), time, kUndoableMode);
    call.api->SetBoolParameter(call.host, ids::kImageAnalysed, time, true, kUndoableMode);
    leaveAnalysisBoxView(call, time);
    call.api->EndUndoGroup(call.host);
}

void interpolateBrightness(const HostCall& call, int brightness, bool noUndo) {
    const int32_t mode = noUndo ? kPlainMode : kUndoableMode;
    if (!noUndo) call.api->BeginUndoGroup(call.host, "Threshold Brightness");
    // Clamped so that a brightness outside 0..100 never names a band that does not exist.
    const int band = std::clamp(brightness / 10, 0, kLastBand);
    const Marks marks = readMarks(call);
    const int lo = nearestMark(marks, band, -1, -1);
    const int hi = nearestMark(marks, band, +1, kLastBand + 1);
    const float vLo = readMultiplier(call, lo < 0 ? band : lo);
    const float vMid = readMultiplier(call, band);
    const float vHi = readMultiplier(call, hi > kLastBand ? band : hi);
    markBrightnessBand(call, band * 10, kTimeZero, mode);
    blendBetween(call, lo, vLo, band, vMid, mode);
    blendBetween(call, band, vMid, hi, vHi, mode);
    if (!noUndo) call.api->EndUndoGroup(call.host);
}

}  // namespace Plugin
