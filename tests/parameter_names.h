// Parameter identifiers spelt out by hand, independent of the plug-in's own helpers.
#pragma once

#include <string>
#include <vector>

namespace test {

inline std::string multiplierId(int percent) {
    return "Brightness:" + std::to_string(percent) + ":ThreasholdMult";
}
inline std::string markId(int percent) {
    return "Brightness:" + std::to_string(percent) + ":ModifiedByUser";
}
inline std::string thresholdId(int channel, int layer, int band, int level) {
    const char* const channels[3] = {"y", "u", "v"};
    const char* const bands[3] = {"HH", "LH", "HL"};
    return std::string(channels[channel]) + "L" + std::to_string(layer) + "_Threshold" +
           bands[band] + std::to_string(level);
}
// A layer's 90 thresholds in panel order: level, then channel, then band.
inline std::vector<std::string> thresholdIdsOfLayer(int layer) {
    std::vector<std::string> ids;
    for (int level = 1; level <= 10; ++level)
        for (int channel = 0; channel < 3; ++channel)
            for (int band = 0; band < 3; ++band)
                ids.push_back(thresholdId(channel, layer, band, level));
    return ids;
}

}  // namespace test
