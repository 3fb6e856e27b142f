#include "cli/split_view.h"

#include <algorithm>

#include "cli/label_text.h"

namespace ruvovav::cli {

media::Picture splitBeforeAfter(const media::Picture& before, const media::Picture& after) {
    media::Picture split = after;
    const int middle = split.width / 2;
    for (int y = 0; y < split.height; ++y) {
        for (int x = 0; x <= middle && x < split.width; ++x) {
            const size_t i = 4 * (size_t(y) * size_t(split.width) + size_t(x));
            for (size_t c = 0; c < 3; ++c) {
                split.rgba[i + c] = x >= middle - 1 ? 1.0f : before.rgba[i + c];
            }
            split.rgba[i + 3] = 1.0f;
        }
    }
    // Labels scale with the picture so they stay legible on 4K and fit on small previews.
    const int scale = std::clamp(split.height / 180, 1, 6);
    drawLabel(split, "BEFORE", 4 * scale, 4 * scale, scale);
    drawLabel(split, "AFTER", middle + 4 * scale, 4 * scale, scale);
    return split;
}

}  // namespace ruvovav::cli
