#include "plugin/parameter_changed.h"

#include <algorithm>
#include <string>

#include "params/analysis_result.h"
#include "params/declare_parameters.h"
#include "params/parameter_ids.h"
#include "params/threshold_settings.h"
#include "render/noise_analysis.h"

namespace Plugin {
namespace {

using Vec3 = plugin_glsl_types::genVec3<float>;

constexpr int32_t kPlainMode = 0;
constexpr int32_t kUndoableMode = 2;
constexpr int kChannels = 3;

std::string changedId(const HostCall& call) {
    const CallArgs* args = call.api->callArgs;
    return args != nullptr && args->parameterId != nullptr ? std::string(args->parameterId)
                                                           : std::string();
}

int32_t callTime(const HostCall& call) {
    const RenderContext* rc = call.renderContext();
    return rc != nullptr ? rc->time : 0;
}

void setAvailable(const HostCall& call, const std::string& id, bool available) {
    call.api->SetParameterEnabled(call.host, id.c_str(), &available);
}

bool isFrequencyView(int32_t view) {
    return view >= 2 && view <= 4;
}

void setFrequencyViewOptions(const HostCall& call, bool available) {
    setAvailable(call, ids::kMipmapLevel, available);
    setAvailable(call, ids::kFrequencyLabel, available);
    setAvailable(call, ids::kFrequencyContrast, available);
}

void setLayerMultipliers(const HostCall& call, int layer, bool available) {
    setAvailable(call, ids::frequencyMultiplier(layer), available);
    setAvailable(call, ids::frequencyRemoval(layer), available);
}

float channelOf(const Vec3& v, int channel) {
    return channel == 0 ? v.x : (channel == 1 ? v.y : v.z);
}

// Entries an analysis or a read left out count as 0, so no sequence is indexed past its end.
Vec3 entryOrZero(const std::vector<Vec3>& sequence, size_t index) {
    return index < sequence.size() ? sequence[index] : Vec3{};
}

const std::vector<Vec3>& subBand(const LayerThresholds& layer, int band) {
    return band == 0 ? layer.hh : (band == 1 ? layer.lh : layer.hl);
}

// How much larger the found thresholds are than the current ones, channel by channel,
// weighted by the current values; the largest channel wins.
float thresholdRatio(const AnalysisResult& found, const AnalysisResult& current) {
    float sum[kChannels] = {};
    float weight[kChannels] = {};
    for (size_t layer = 0; layer < found.layers.size(); ++layer) {
        for (size_t level = 0; level < size_t(ids::kWaveletLevels); ++level) {
            for (int band = 0; band < 3; ++band) {
                const Vec3 f = entryOrZero(subBand(found.layers[layer], band), level);
                const Vec3 c = entryOrZero(subBand(current.layers[layer], band), level);
                for (int channel = 0; channel < kChannels; ++channel) {
                    const float cv = channelOf(c, channel);
                    const float ratio = cv != 0.0f ? channelOf(f, channel) / cv : 1.0f;
                    sum[channel] += cv * ratio;
                    weight[channel] += cv;
                }
            }
        }
    }
    float r[kChannels];
    for (int channel = 0; channel < kChannels; ++channel) {
        r[channel] = weight[channel] != 0.0f ? sum[channel] / weight[channel] : sum[channel];
    }
    return std::max({r[0], r[1], r[2]});
}

void analyseAndWrite(const HostCall& call) {
    AnalysisResult result{};
    analyzeNoise(call, readAnalysisSettings(call), result);
    writeAnalysis(call, result);
    for (int layer = 0; layer < ids::kFrequencyLayers; ++layer) {
        setLayerMultipliers(call, layer, layerHasThresholds(call, layer));
    }
}

void analyseBrightness(const HostCall& call) {
    AnalysisResult found{};
    analyzeNoise(call, readAnalysisSettings(call), found);
    AnalysisResult current{};
    readThresholds(call, current);
    if (found.layers.size() > current.layers.size()) found.layers.resize(current.layers.size());

    const float m = thresholdRatio(found, current);
    const int band = rules::brightnessBandOf(found.meanColour.x);
    const int32_t time = callTime(call);
    call.api->BeginUndoGroup(call.host, "Threshold Brightness");
    const std::string id = ids::brightnessMultiplier(band);
    call.api->SetFloatParameter(call.host, id.c_str(), time, m * 100.0f, kUndoableMode);
    interpolateBrightness(call, band, false);
    if (call.api->GetChoiceParameter(call.host, ids::kViewOption, time) == rules::kViewAnalysisBox) {
        call.api->SetChoiceParameter(call.host, ids::kViewOption, time, rules::kViewResult, kUndoableMode);
    }
    call.api->EndUndoGroup(call.host);
}

// Re-applied in full, so the host's stored availability never drifts from the parameters.
void applyAnalysedAvailability(const HostCall& call) {
    const int32_t time = callTime(call);
    const bool analysed = call.api->GetBoolParameter(call.host, ids::kImageAnalysed, time);
    setAvailable(call, ids::kAnalyzeButton, !analysed);
    setAvailable(call, ids::kReAnalyzeButton, analysed);
    setAvailable(call, ids::kAnalyzeBrightnessButton, analysed);
    setAvailable(call, ids::kNumberOfFrames, analysed);
    setAvailable(call, ids::kKeepEdges, analysed);
    for (int channel = 0; channel < kChannels; ++channel) {
        setAvailable(call, ids::channelMultiplier(channel), analysed);
    }
    for (int band = 0; band < ids::kBrightnessBands; ++band) {
        setAvailable(call, ids::brightnessMultiplier(band * 10), analysed);
    }
    for (int channel = 0; channel < kChannels; ++channel) {
        setAvailable(call, ids::channelRemoval(channel), analysed);
    }
    setAvailable(call, ids::kViewOption, analysed);

    const int32_t view = call.api->GetChoiceParameter(call.host, ids::kViewOption, time);
    setFrequencyViewOptions(call, analysed && isFrequencyView(view));
    for (int layer = 0; layer < ids::kFrequencyLayers; ++layer) {
        setLayerMultipliers(call, layer, analysed && layerHasThresholds(call, layer));
    }
}

void applyViewAvailability(const HostCall& call) {
    const int32_t view = call.api->GetChoiceParameter(call.host, ids::kViewOption, callTime(call));
    setFrequencyViewOptions(call, isFrequencyView(view));
}

void updateFrequencyLabel(const HostCall& call) {
    const int32_t level = call.api->GetIntParameter(call.host, ids::kMipmapLevel, callTime(call));
    // The shift count wraps at 32 as the processor's shift does; the panel allows 0..10.
    const std::wstring text = frequencyScaleLabel(level & 31);
    call.api->SetLabelText(call.host, ids::kFrequencyLabel, 0, text.c_str(), kPlainMode);
}

}  // namespace

int32_t parameterChanged(const HostCall& call) {
    const std::string id = changedId(call);
    bool analysed = false;
    if (id == ids::kAnalyzeButton || id == ids::kReAnalyzeButton) {
        analyseAndWrite(call);
        analysed = true;
    }
    if (id == ids::kAnalyzeBrightnessButton) analyseBrightness(call);
    if (id == ids::kImageAnalysed || analysed) applyAnalysedAvailability(call);
    if (id == ids::kViewOption) applyViewAvailability(call);
    if (id == ids::kMipmapLevel) updateFrequencyLabel(call);
    return 1;
}

}  // namespace Plugin
