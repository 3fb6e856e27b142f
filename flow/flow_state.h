// Working state of one dense flow computation, shared by every stage (and, later, by
// every worker): the inputs, the pyramids and the coefficient and system scratch.
#pragma once

#include <cstddef>
#include <memory>
#include <vector>

#include "flow/flow_settings.h"
#include "image/texture_data.h"

namespace Plugin {

struct FlowState {
    const TextureDataV1* imageA = nullptr;
    const TextureDataV1* imageB = nullptr;
    TextureDataV4* flow = nullptr;
    FlowSettings settings;
    int levels = 0;
    TextureDataV5 coeffA, coeffB, matrices, matricesScratch;
    // Entry i holds level i + 1.
    std::vector<std::shared_ptr<TextureDataV1>> pyramidA, pyramidB;
    std::vector<std::shared_ptr<TextureDataV4>> pyramidFlow;

    const TextureDataV1& greyA(int level) const {
        return level ? *pyramidA[std::size_t(level - 1)] : *imageA;
    }
    const TextureDataV1& greyB(int level) const {
        return level ? *pyramidB[std::size_t(level - 1)] : *imageB;
    }
    TextureDataV4& flowAt(int level) {
        return level ? *pyramidFlow[std::size_t(level - 1)] : *flow;
    }
};

// Allocates everything at the input size, so that later levels only re-dimension. The
// pyramids are zero-filled; the vec5 scratch is not, since every stage writes it before
// reading it: the zero-fill cost as much as the stages it fed. The flow field must have the
// size of the inputs. Everything is freed with the state, at the end of the computation.
FlowState makeFlowState(const TextureDataV1& a, const TextureDataV1& b, TextureDataV4& flow,
                        const FlowSettings& settings);

}  // namespace Plugin
