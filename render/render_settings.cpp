#include "render/render_settings.h"

#include "denoise/wavelet_transform.h"
#include "params/parameter_ids.h"
#include "params/threshold_settings.h"

namespace Plugin {
namespace {

using Vec3 = plugin_glsl_types::genVec3<float>;

constexpr int kChannels = 3;
constexpr int kBands = 3;  // HH, LH, HL

float readFloat(const HostCall& call, const std::string& id) {
    return call.api->GetFloatParameter(call.host, id.c_str(), call.renderContext()->time);
}

float readPercent(const HostCall& call, const std::string& id) {
    return readFloat(call, id) * 0.01f;
}

BoxCorners readBoxCorners(const HostCall& call) {
    const int32_t time = call.renderContext()->time;
    BoxCorners box;
    call.api->GetPointParameter(call.host, ids::kAnalyzePoint1, time, &box.x1, &box.y1);
    call.api->GetPointParameter(call.host, ids::kAnalyzePoint2, time, &box.x2, &box.y2);
    return box;
}

const Wavelet& readWavelet(const HostCall& call) {
    return waveletForMethod(
        call.api->GetChoiceParameter(call.host, ids::kMethod, call.renderContext()->time));
}

Vec3 scaled(Vec3 v, const Vec3& channel, float layer) {
    return {v.x * channel.x * layer, v.y * channel.y * layer, v.z * channel.z * layer};
}

// Shares of the thresholded value per channel: the views always show full strength.
Vec3 removalAmounts(const HostCall& call, int viewOption, int n) {
    if (viewOption != rules::kViewResult) return {1.0f, 1.0f, 1.0f};
    const float layer = readPercent(call, ids::frequencyRemoval(n));
    return {readPercent(call, ids::channelRemoval(0)) * layer,
            readPercent(call, ids::channelRemoval(1)) * layer,
            readPercent(call, ids::channelRemoval(2)) * layer};
}

LayerSettings readLayerSettings(const HostCall& call, int n, int viewOption) {
    LayerSettings layer;
    layer.shrink = layerHasThresholds(call, n);
    if (!layer.shrink) return layer;
    layer.removal = removalAmounts(call, viewOption, n);
    layer.thresholds = readNoiseRemovalSettings(call, n, kMaxWaveletLevels);
    return layer;
}

}  // namespace

RenderSettings readViewSettings(const HostCall& call) {
    const int32_t time = call.renderContext()->time;
    RenderSettings s;
    s.imageAnalysed = call.api->GetBoolParameter(call.host, ids::kImageAnalysed, time);
    s.viewOption = call.api->GetChoiceParameter(call.host, ids::kViewOption, time);
    s.box = readBoxCorners(call);
    return s;
}

void readRenderSettings(const HostCall& call, int layerCount, RenderSettings& s) {
    const int32_t time = call.renderContext()->time;
    s.mipmapLevel = s.viewOption != rules::kViewResult
                        ? call.api->GetIntParameter(call.host, ids::kMipmapLevel, time)
                        : 0;
    s.edgeGain = readPercent(call, ids::kKeepEdges);
    s.trackMovement = call.api->GetBoolParameter(call.host, ids::kTrackMovement, time);
    s.frames = call.api->GetChoiceParameter(call.host, ids::kNumberOfFrames, time);
    s.frequencyContrast = readFloat(call, ids::kFrequencyContrast);
    s.wavelet = &readWavelet(call);
    // The coarsest band-pass layer and the residual are never shrunk.
    s.layers.clear();
    for (int n = 0; n < layerCount - 1; ++n) {
        s.layers.push_back(readLayerSettings(call, n, s.viewOption));
    }
}

AnalysisSettings readAnalysisSettings(const HostCall& call) {
    AnalysisSettings s;
    if (call.renderContext() == nullptr || call.renderContext()->valid == 0) return s;
    const RenderContext& rc = *call.renderContext();
    s.box = readBoxCorners(call);
    s.box.x1 += rc.pointOffsetX;
    s.box.x2 += rc.pointOffsetX;
    s.box.y1 += rc.pointOffsetY;
    s.box.y2 += rc.pointOffsetY;
    s.wavelet = &readWavelet(call);
    return s;
}

NoiseRemovalSettings readNoiseRemovalSettings(const HostCall& call, int layer, int levels) {
    NoiseRemovalSettings s;
    for (int j = 0; j < rules::kBrightnessBands; ++j) {
        s.brightnessMultipliers[size_t(j)] = readPercent(call, ids::brightnessMultiplier(10 * j));
    }
    const float layerMultiplier = readPercent(call, ids::frequencyMultiplier(layer));
    const Vec3 channel = {readPercent(call, ids::channelMultiplier(0)),
                          readPercent(call, ids::channelMultiplier(1)),
                          readPercent(call, ids::channelMultiplier(2))};
    for (int level = 1; level <= levels; ++level) {
        for (int band = 0; band < kBands; ++band) {
            float t[kChannels];
            for (int c = 0; c < kChannels; ++c) {
                t[c] = readPercent(call, ids::threshold(c, layer, band, level));
            }
            s.thresholds[size_t(band)].push_back(
                scaled({t[0], t[1], t[2]}, channel, layerMultiplier));
        }
    }
    s.halfSoftness = readPercent(call, ids::kSoftThresholding) * 0.5f;
    return s;
}

}  // namespace Plugin
