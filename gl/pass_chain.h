// The ping-pong record of every multi-pass operation.
//
// Passes alternate between two images: each pass reads the current source on unit 0 and
// draws into the current target; advance() swaps the roles. The first pass reads the
// input; the result must end in the output. When input and output are the same texture the
// chain starts on the scratch image, so no pass ever reads the texture it draws into.
//
// Thread-safety: the host's calling thread only; one chain per operation.
#pragma once

#include <optional>

#include "gl/host_call.h"
#include "gl/host_image.h"
#include "gl/quad_draw.h"
#include "plugin/host_api.h"

namespace Plugin {

class PassChain {
public:
    // With `borrowInput` (and a different output) the input texture itself is the second
    // buffer and is never released; otherwise a scratch image of the output's size and
    // format is made and given back by finish().
    // GL: attaches the first target at level 0 and binds the input on unit 0 (linear).
    PassChain(const HostCall& call, HostImage* input, HostImage* output, bool borrowInput);
    // Takes a scratch image the caller made; the chain owns it from here on. The output is
    // the first target.
    PassChain(const HostCall& call, HostImage* input, HostImage* output, const HostImage& scratch);
    PassChain(const PassChain&) = delete;
    PassChain& operator=(const PassChain&) = delete;

    // The image the next pass reads.
    HostImage* currentSource();
    // The image the next pass draws into.
    HostImage* currentTarget();
    // After every pass: the target becomes the source and the other image the target.
    // GL: attaches the new target at level 0, binds the new source on unit 0 (linear).
    void advance();
    // Attaches the current target at level 0, binds the current source on unit 0 and puts
    // its extents into the quad: the state advance() leaves.
    void rebind();
    // Before the first pass: the scratch becomes the first target, so that an even number of
    // passes ends in the output. Nothing changes when the input is the second buffer.
    // GL: attaches the first target at level 0.
    void startOnScratch();
    // Whether the next pass's source is drawn into again by the pass after it, so that what
    // it holds outside a pass's region is still there for that pass. Only an input apart
    // from both images, before the first pass, is not.
    bool sourceIsDrawnAgain() const;

    // Puts the last result into `destination` (default: the output) at `level`: by mirror
    // padding with `pad`, by "glCopy" otherwise; when the last pass already drew into the
    // output and no destination is named, it only re-attaches the output. Gives the scratch
    // back unless borrowed.
    // GL: ends with the input bound on unit 0 (nearest) and the output or destination
    // attached; the copy program, when used, is released.
    void finish(const HostImage* destination = nullptr, int level = 0, bool pad = false);

    const Quad& quad() const { return quad_; }
    HostImage* input() const { return input_; }
    HostImage* output() const { return output_; }
    const HostImage& scratch() const { return *scratch_; }
    bool targetIsOutput() const { return targetIsOutput_; }
    bool sourceIsInput() const { return sourceIsInput_; }

private:
    void start();
    void copyResult(const HostImage& destination, int level, bool pad);

    HostCall call_;
    HostImage* input_;
    HostImageLease ownedScratch_;  // empty when the input is borrowed
    HostImage* scratch_;           // the input or ownedScratch_'s image
    HostImage* output_;
    bool targetIsOutput_ = true;
    bool sourceIsInput_ = true;
    Quad quad_{};
};

}  // namespace Plugin
