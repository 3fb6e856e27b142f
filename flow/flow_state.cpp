#include "flow/flow_state.h"

#include <stdexcept>

#include "flow/flow_pyramid.h"

namespace Plugin {

FlowState makeFlowState(const TextureDataV1& a, const TextureDataV1& b, TextureDataV4& flow,
                        const FlowSettings& settings) {
    if (a.width != b.width || a.height != b.height || flow.width != a.width ||
        flow.height != a.height)
        throw std::invalid_argument("optical flow: image sizes differ");
    FlowState s;
    s.imageA = &a;
    s.imageB = &b;
    s.flow = &flow;
    s.settings = settings;
    s.levels = flowPyramidLevels(a.width, a.height, settings.maxLevels);
    for (TextureDataV5* scratch : {&s.coeffA, &s.coeffB, &s.matrices, &s.matricesScratch})
        scratch->allocate(a.width, a.height);
    int w = a.width, h = a.height;
    for (int i = 1; i <= s.levels; ++i) {
        w >>= 1;
        h >>= 1;
        s.pyramidA.push_back(std::make_shared<TextureDataV1>(w, h));
        s.pyramidB.push_back(std::make_shared<TextureDataV1>(w, h));
        s.pyramidFlow.push_back(std::make_shared<TextureDataV4>(w, h));
    }
    return s;
}

}  // namespace Plugin
