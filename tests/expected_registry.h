// The program registry as the GPU set-up must leave it, written out by hand.
#pragma once

#include <string>
#include <vector>

namespace test {

// Registration order: the motion warp, the two views, the colour conversions, the pyramid's two
// programs, the shared copy, the padding copy, the flat colour, the shrinkage, then each wavelet's
// analysis and synthesis.
inline const std::vector<std::string> kExpectedRegistryOrder = {"opticalFlowDisplacement",
                                                                "AnalysisBox",
                                                                "viewFrequency",
                                                                "RGBToYUV",
                                                                "YUVToRGB",
                                                                "ImageFrequencyDecomposition",
                                                                "bicubicCopy",
                                                                "glCopy",
                                                                "copyPaddedImage",
                                                                "singleColor",
                                                                "noiseRemoval",
                                                                "haarDec",
                                                                "haarRec",
                                                                "daubechies4Dec",
                                                                "daubechies4Rec",
                                                                "daubechies8Dec",
                                                                "daubechies8Rec",
                                                                "daubechies16Dec",
                                                                "daubechies16Rec",
                                                                "symlet16Dec",
                                                                "symlet16Rec"};

}  // namespace test
