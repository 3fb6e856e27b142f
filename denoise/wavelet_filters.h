// The orthogonal wavelets the denoiser offers, as the filter taps its generated GLSL
// programs apply, and the registry names of each wavelet's two programs.
#pragma once

#include <array>

namespace Plugin {

// Analysis low-pass and high-pass taps of one wavelet; only the first n of each are used.
// The synthesis program takes its taps from the same two arrays.
struct WaveletFilter {
    int n = 0;
    std::array<double, 16> lo{};
    std::array<double, 16> hi{};
};

// Registry names of a wavelet's analysis (Dec) and synthesis (Rec) programs.
struct WaveletProgramNames {
    const char* decomposition;
    const char* reconstruction;
};

// One selectable wavelet: how to make its taps and what its programs are called.
struct Wavelet {
    WaveletFilter (*makeFilter)();
    WaveletProgramNames names;
};

// Haar, 2 taps: lo = [a, a], hi = [a, -a] with a = 1 / sqrt(2).
WaveletFilter haarFilter();
// Daubechies 4, 4 taps computed from sqrt(2) and sqrt(3); hi[k] = (-1)^k lo[3 - k].
WaveletFilter daubechies4Filter();
// Daubechies 8, 8 taps (four vanishing moments), stored to ten decimals.
WaveletFilter daubechies8Filter();
// Daubechies 16, 16 taps (eight vanishing moments), stored to ten decimals.
WaveletFilter daubechies16Filter();
// Symlets 16, 16 taps (eight vanishing moments), stored to ten decimals.
WaveletFilter symlet16Filter();

// Every wavelet in the order its programs are registered at GPU set-up.
inline constexpr std::array<Wavelet, 5> kWavelets = {{
    {haarFilter, {"haarDec", "haarRec"}},
    {daubechies4Filter, {"daubechies4Dec", "daubechies4Rec"}},
    {daubechies8Filter, {"daubechies8Dec", "daubechies8Rec"}},
    {daubechies16Filter, {"daubechies16Dec", "daubechies16Rec"}},
    {symlet16Filter, {"symlet16Dec", "symlet16Rec"}},
}};

// The wavelet chosen by the "method" parameter: 0 Haar, 1 Daubechies 4, 2 Daubechies 8,
// 3 Daubechies 16; any other value Symlets 16.
const Wavelet& waveletForMethod(int method);

}  // namespace Plugin
