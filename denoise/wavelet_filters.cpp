#include "denoise/wavelet_filters.h"

#include <cmath>
#include <initializer_list>

namespace Plugin {

namespace {

WaveletFilter storedFilter(std::initializer_list<double> lo, std::initializer_list<double> hi) {
    WaveletFilter filter;
    filter.n = static_cast<int>(lo.size());
    int k = 0;
    for (double tap : lo) filter.lo[k++] = tap;
    k = 0;
    for (double tap : hi) filter.hi[k++] = tap;
    return filter;
}

}  // namespace

WaveletFilter haarFilter() {
    const double a = 1.0 / std::sqrt(2.0);
    return storedFilter({a, a}, {a, -a});
}

WaveletFilter daubechies4Filter() {
    const double s = std::sqrt(3.0);
    const double d = 4.0 * std::sqrt(2.0);
    const double lo0 = (1.0 + s) / d;
    const double lo1 = (3.0 + s) / d;
    const double lo2 = (3.0 - s) / d;
    const double lo3 = (1.0 - s) / d;
    return storedFilter({lo0, lo1, lo2, lo3}, {lo3, -lo2, lo1, -lo0});
}

// The three stored filters keep the constants exactly as published (time-reversed scaling
// filters), so their high-pass is hi[k] = (-1)^(k+1) lo[n-1-k] rather than the Haar sign.
WaveletFilter daubechies8Filter() {
    return storedFilter({-0.0105974018, 0.0328830117, 0.0308413818, -0.1870348117, -0.0279837694,
                         0.6308807679, 0.7148465706, 0.2303778133},
                        {-0.2303778133, 0.7148465706, -0.6308807679, -0.0279837694, 0.1870348117,
                         0.0308413818, -0.0328830117, -0.0105974018});
}

WaveletFilter daubechies16Filter() {
    return storedFilter(
        {-0.0001174768, 0.0006754494, -0.0003917404, -0.004870353, 0.008746094, 0.0139810279,
         -0.0440882539, -0.017369301, 0.1287474266, 0.0004724846, -0.284015543, -0.0158291053,
         0.5853546837, 0.6756307363, 0.3128715909, 0.0544158422},
        {-0.0544158422, 0.3128715909, -0.6756307363, 0.5853546837, 0.0158291053, -0.284015543,
         -0.0004724846, 0.1287474266, 0.017369301, -0.0440882539, -0.0139810279, 0.008746094,
         0.004870353, -0.0003917404, -0.0006754494, -0.0001174768});
}

WaveletFilter symlet16Filter() {
    return storedFilter(
        {-0.003382416, -0.0005421323, 0.0316950878, 0.0076074873, -0.1432942384, -0.0612733591,
         0.4813596513, 0.7771857517, 0.3644418948, -0.0519458381, -0.0272190299, 0.0491371797,
         0.003808752, -0.0149522583, -0.0003029205, 0.0018899503},
        {-0.0018899503, -0.0003029205, 0.0149522583, 0.003808752, -0.0491371797, -0.0272190299,
         0.0519458381, 0.3644418948, -0.7771857517, 0.4813596513, 0.0612733591, -0.1432942384,
         -0.0076074873, 0.0316950878, 0.0005421323, -0.003382416});
}

const Wavelet& waveletForMethod(int method) {
    if (method >= 0 && method < static_cast<int>(kWavelets.size()) - 1) return kWavelets[method];
    return kWavelets.back();
}

}  // namespace Plugin
