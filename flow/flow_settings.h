// Fixed parameters of one dense flow computation and the split of a dimension into bands.
#pragma once

namespace Plugin {

struct FlowSettings {
    int maxLevels = 10;
    int averagingRadius = 5;
    int iterations = 1;
    int polyN = 5;
    // The caller hands sigma as a single-precision value carried in a double.
    double polySigma = double(1.1f);
};

// Half-open range [begin, end) of rows (or columns) one worker handles.
struct FlowBand {
    int begin = 0;
    int end = 0;
};

// Even split by floor(size / count); the last worker also takes the remainder.
inline FlowBand flowBandOf(int index, int count, int size) {
    const int share = size / count;
    const int end = (index == count - 1) ? size : (index + 1) * share;
    return {index * share, end};
}

// Which of the two flow pairs in a genVec4 flow pixel a stage reads and writes.
enum class FlowDirection { Forward, Backward };

}  // namespace Plugin
