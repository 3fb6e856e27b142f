#include "flow/flow_state.h"

#include <cstdint>
#include <memory>
#include <new>
#include <stdexcept>

#include "flow/flow_pyramid.h"

namespace Plugin {

namespace {

// Every stage writes each element of these images before any stage reads it, so the
// zero-filling a fresh allocation would do is skipped: it cost as much as several stages.
// vec5 is an aggregate, so the raw storage holds its objects implicitly.
void allocateUninitialised(TextureDataV5& image, int w, int h) {
    const size_t count = size_t(w) * size_t(h);
    if (count == 0) return image.allocate(w, h);
    vec5* storage = static_cast<vec5*>(::operator new(count * sizeof(vec5)));
    image.data = std::shared_ptr<vec5[]>(storage, [](vec5* p) { ::operator delete(p); });
    image.capacity = w * h;
    image.width = image.stride = w;
    image.height = h;
}

}  // namespace

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
    for (TextureDataV5* scratch : {&s.coeffA, &s.coeffB, &s.matrices, &s.matricesScratch}) {
        allocateUninitialised(*scratch, a.width, a.height);
    }
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
