#include "params/declare_parameters.h"

#include "params/parameter_declarer.h"
#include "params/parameter_ids.h"
#include "params/text_format.h"

namespace Plugin {
namespace {

const wchar_t* const kThresholdLabels[3][3] = {
    {L"Y HH", L"Y LH", L"Y HL"}, {L"U HH", L"U LH", L"U HL"}, {L"V HH", L"V LH", L"V HL"}};
const wchar_t* const kChannelLabels[3] = {L"Y", L"U", L"V"};

void declareViewControls(ParameterDeclarer& d) {
    d.choice(L"Frames", ids::kNumberOfFrames, kFlags3,
             {.entries = {L"1", L"2", L"4", L"8"}, .values = {1, 2, 4, 8}, .defaultIndex = 0});
    d.checkbox(L"Track Movement", ids::kTrackMovement, kFlags3, true);
    d.choice(
        L"View", ids::kViewOption, kFlags2,
        {.entries = {L"Result", L"Analysis Box", L"Frequency Y", L"Frequency U", L"Frequency V"},
         .values = {0, 1, 2, 3, 4},
         .defaultIndex = 0});
    d.beginGroup(L"Frequency View Options");
    d.textLabel(L"Frequency", ids::kFrequencyLabel, kFlags2, frequencyScaleLabel(0));
    d.intSlider(L"Level", ids::kMipmapLevel, kFlags2, 0, 10, 0);
    d.floatSlider(L"Contrast", ids::kFrequencyContrast,
                  {.flags = kFlags2, .min = 1.0f, .max = 100.0f, .def = 1.0f, .precision = 2});
    d.endGroup();
}

// 10 layers x 10 wavelet levels x 3 channels x 3 bands = 900 sliders, filled by the analysis.
void declareThresholdTable(ParameterDeclarer& d) {
    const FloatSlider threshold{.flags = kFlags2, .min = 0.0f, .max = 100.0f, .def = 0.0f};
    for (int layer = 0; layer < ids::kFrequencyLayers; ++layer) {
        d.beginGroup(L"Level " + toWideDecimal(layer));
        for (int level = 1; level <= ids::kWaveletLevels; ++level) {
            d.beginGroup(L"Wavelet Iteration " + toWideDecimal(level));
            for (int channel = 0; channel < 3; ++channel) {
                for (int band = 0; band < 3; ++band) {
                    d.floatSlider(kThresholdLabels[channel][band],
                                  ids::threshold(channel, layer, band, level), threshold);
                }
            }
            d.endGroup();
        }
        d.endGroup();
    }
}

void declareAnalysis(ParameterDeclarer& d) {
    d.button(L"Analyze", ids::kAnalyzeButton, kFlags0);
    d.beginGroup(L"Analyze");
    d.checkbox(L"ImageAnalysed", ids::kImageAnalysed, kFlags2, false);
    d.point(L"Analysis Box", ids::kAnalyzePoint1, kFlags0, -64.0, 64.0);
    d.point(L"Analysis Box", ids::kAnalyzePoint2, kFlags0, 64.0, -64.0);
    d.button(L"Analyze Brightness", ids::kAnalyzeBrightnessButton, kFlags2);
    d.button(L"Re-Analyze", ids::kReAnalyzeButton, kFlags2);
    d.beginGroup(L"Ruvovav Data");
    declareThresholdTable(d);
    d.endGroup();
    d.endGroup();
}

void declareMultipliers(ParameterDeclarer& d) {
    const FloatSlider multiplier{.unit = L"%", .min = 0.0f, .max = 500.0f, .def = 100.0f};
    d.beginGroup(L"Brightness");
    for (int band = 0; band < ids::kBrightnessBands; ++band) {
        const std::wstring label = toWideDecimal(band * 10);
        d.floatSlider(label, ids::brightnessMultiplier(band * 10), multiplier);
        d.checkbox(label, ids::brightnessModifiedByUser(band * 10), kFlags2, false);
    }
    d.endGroup();
    d.beginGroup(L"Channel");
    for (int channel = 0; channel < 3; ++channel) {
        d.floatSlider(kChannelLabels[channel], ids::channelMultiplier(channel), multiplier);
    }
    d.endGroup();
    d.beginGroup(L"Frequency");
    for (int layer = 0; layer < ids::kFrequencyLayers; ++layer) {
        d.floatSlider(frequencyScaleLabel(layer), ids::frequencyMultiplier(layer), multiplier);
    }
    d.endGroup();
}

void declareThresholdControls(ParameterDeclarer& d) {
    d.beginGroup(L"Threshold");
    declareMultipliers(d);
    d.floatSlider(L"Keep Edges", ids::kKeepEdges, {.max = 1000.0f, .def = 100.0f});
    d.floatSlider(L"Soft Thresholding", ids::kSoftThresholding, {.max = 100.0f, .def = 0.0f});
    d.endGroup();
}

void declareRemovalAmounts(ParameterDeclarer& d) {
    const float defaults[3] = {80.0f, 100.0f, 100.0f};
    d.beginGroup(L"Removal Amount");
    for (int channel = 0; channel < 3; ++channel) {
        d.floatSlider(kChannelLabels[channel], ids::channelRemoval(channel),
                      {.unit = L"%", .def = defaults[channel]});
    }
    d.beginGroup(L"Frequency");
    for (int layer = 0; layer < ids::kFrequencyLayers; ++layer) {
        d.floatSlider(frequencyScaleLabel(layer), ids::frequencyRemoval(layer),
                      {.unit = L"%", .def = 100.0f});
    }
    d.endGroup();
    d.endGroup();
}

// The value array is longer than the entry list; the host reads one value per entry.
void declareMethod(ParameterDeclarer& d) {
    d.choice(
        L"Wavelet type", ids::kMethod, kFlags3,
        {.entries = {L"Haar", L"Daubechies 4", L"Daubechies 8", L"Daubechies 16", L"Symlets 16"},
         .values = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9},
         .defaultIndex = 1});
}

}  // namespace

std::wstring frequencyScaleLabel(int layer) {
    return toWideDecimal(1 << layer) + L"px";
}

int32_t declareParameters(HostHandle host, HostApi* api) {
    ParameterDeclarer d(host, api);
    declareViewControls(d);
    declareAnalysis(d);
    declareThresholdControls(d);
    declareRemovalAmounts(d);
    declareMethod(d);
    return 1;
}

}  // namespace Plugin
