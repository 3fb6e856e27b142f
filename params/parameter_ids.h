// The identifiers of the effect's parameters. Every reader and writer of a parameter goes
// through these, so a misspelt key cannot split one setting into two.
#pragma once

#include <string>

#include "params/effect_rules.h"

namespace Plugin::ids {

inline constexpr const char* kNumberOfFrames = "numberOfFrames";
inline constexpr const char* kTrackMovement = "useOpticalFlowTracking";
inline constexpr const char* kViewOption = "viewOption";
inline constexpr const char* kFrequencyLabel = "frequencyLabel";
inline constexpr const char* kMipmapLevel = "mipmapLevel";
inline constexpr const char* kFrequencyContrast = "frequencyContrast";
inline constexpr const char* kAnalyzeButton = "analyzeButton";
inline constexpr const char* kImageAnalysed = "imageAnalysed";
inline constexpr const char* kAnalyzePoint1 = "analyzePoint1";
inline constexpr const char* kAnalyzePoint2 = "analyzePoint2";
inline constexpr const char* kAnalyzeBrightnessButton = "AnalyzeBrightnessButton";
inline constexpr const char* kReAnalyzeButton = "reAnalyzeButton";
inline constexpr const char* kKeepEdges = "keepEdges";
inline constexpr const char* kSoftThresholding = "softThresholding";
inline constexpr const char* kMethod = "method";

// Frequency layers and wavelet levels of the threshold table.
inline constexpr int kFrequencyLayers = 10;
inline constexpr int kWaveletLevels = 10;
inline constexpr int kBrightnessBands = rules::kBrightnessBands;  // 0, 10, ..., 100

// Channel letters and sub-band names, in declaration order.
inline constexpr char kChannelLetters[3] = {'Y', 'U', 'V'};
inline constexpr const char* kBandNames[3] = {"HH", "LH", "HL"};

// "yL0_ThresholdHH1": channel 0..2, layer 0..9, band 0..2, wavelet level 1..10.
inline std::string threshold(int channel, int layer, int band, int level) {
    const char letter = char(kChannelLetters[channel] - 'A' + 'a');
    return std::string(1, letter) + "L" + std::to_string(layer) + "_Threshold" + kBandNames[band] +
           std::to_string(level);
}

// The multiplier keys are spelt "Threashold" on purpose: saved projects use these keys.
inline std::string brightnessMultiplier(int band) {
    return "Brightness:" + std::to_string(band) + ":ThreasholdMult";
}
inline std::string brightnessModifiedByUser(int band) {
    return "Brightness:" + std::to_string(band) + ":ModifiedByUser";
}
inline std::string channelMultiplier(int channel) {
    return std::string("Channel:") + kChannelLetters[channel] + ":ThreasholdMult";
}
inline std::string channelRemoval(int channel) {
    return std::string("Channel:") + kChannelLetters[channel] + ":NoiseRemoval";
}
inline std::string frequencyMultiplier(int layer) {
    return "Frequency:L" + std::to_string(layer) + ":ThreasholdMult";
}
inline std::string frequencyRemoval(int layer) {
    return "Frequency:L" + std::to_string(layer) + ":NoiseRemoval";
}

}  // namespace Plugin::ids
