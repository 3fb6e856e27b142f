#include "gl/pass_chain.h"

#include <GL/glew.h>

#include "gl/host_image.h"
#include "gl/program_uniforms.h"
#include "gl/render_target.h"
#include "gl/standard_passes.h"

namespace Plugin {

namespace {

// A chain may use its input as the second buffer only when it does not also draw into it.
bool borrows(const HostImage& input, const HostImage& output, bool borrowInput) {
    return borrowInput && input.texture != output.texture;
}

// Nothing when the chain borrows its input, else a scratch image of the output's kind.
HostImage ownScratchFor(const HostCall& call, const HostImage& input, const HostImage& output,
                        bool borrowInput) {
    if (borrows(input, output, borrowInput)) return HostImage{};
    return makeImage(call, output.width, output.height, output.internalFormat);
}

}  // namespace

PassChain::PassChain(const HostCall& call, HostImage* input, HostImage* output, bool borrowInput)
    : call_(call),
      input_(input),
      ownedScratch_(call, ownScratchFor(call, *input, *output, borrowInput)),
      scratch_(borrows(*input, *output, borrowInput) ? input : &ownedScratch_.image()),
      output_(output) {
    // Drawing into the texture being read is undefined, so a chain whose input is its
    // output starts on the scratch.
    targetIsOutput_ = input->texture != output->texture;
    start();
}

PassChain::PassChain(const HostCall& call, HostImage* input, HostImage* output,
                     const HostImage& scratch)
    : call_(call),
      input_(input),
      ownedScratch_(call, scratch),
      scratch_(&ownedScratch_.image()),
      output_(output) {
    targetIsOutput_ = true;
    start();
}

void PassChain::start() {
    sourceIsInput_ = true;
    attachRenderTarget(*currentTarget(), 0);
    bindTextureUnit(GL_TEXTURE0, input_->texture, true);
    const RenderContext& rc = *call_.renderContext();
    quad_ = fillQuad(*input_, rc.width, rc.height);
}

HostImage* PassChain::currentSource() {
    if (sourceIsInput_) return input_;
    return targetIsOutput_ ? scratch_ : output_;
}

HostImage* PassChain::currentTarget() {
    return targetIsOutput_ ? output_ : scratch_;
}

void PassChain::advance() {
    targetIsOutput_ = !targetIsOutput_;
    sourceIsInput_ = false;
    rebind();
}

void PassChain::rebind() {
    attachRenderTarget(*currentTarget(), 0);
    const HostImage* source = currentSource();
    bindTextureUnit(GL_TEXTURE0, source->texture, true);
    setQuadExtents(quad_, *source);
}

void PassChain::startOnScratch() {
    if (!sourceIsInput_ || scratch_ == input_) return;
    targetIsOutput_ = false;
    attachRenderTarget(*currentTarget(), 0);
}

bool PassChain::sourceIsDrawnAgain() const {
    return !sourceIsInput_ || scratch_ == input_ || input_->texture == output_->texture;
}

void PassChain::finish(const HostImage* destination, int level, bool pad) {
    if (!targetIsOutput_ && destination == nullptr) {
        attachRenderTarget(*output_, 0);  // the last pass drew into the output
    } else {
        copyResult(destination != nullptr ? *destination : *output_, level, pad);
    }
    ownedScratch_.giveBack();
    bindTextureUnit(GL_TEXTURE0, input_->texture, true);
    setUnitNearest(GL_TEXTURE0, true);
    glFlush();
}

void PassChain::copyResult(const HostImage& destination, int level, bool pad) {
    const HostImage& result = *currentSource();
    if (pad) {
        padImage(call_, result, destination, 0, level, kPadCopy);
        return;
    }
    EffectData& effect = call_.effect();
    effect.bindProgram("glCopy");
    setVertexMatrices(call_);
    setSourceSamplerUnit0(call_);
    attachRenderTarget(destination, level);
    drawQuad(call_, quad_);
    effect.releaseProgram();
}

}  // namespace Plugin
