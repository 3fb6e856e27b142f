#include "bench/bench_host.h"

#include <GL/glew.h>

#include <iostream>
#include <random>
#include <stdexcept>
#include <vector>

#include "bench/bench_main.h"
#include "gl/gpu_setup.h"
#include "gl/host_image.h"
#include "gl/render_target.h"
#include "params/declare_parameters.h"
#include "params/parameter_ids.h"
#include "render/program_table.h"

namespace bench {
namespace {

// Generated once, grown when a caller needs more: uploads then cost only the copy, not the
// random numbers. A longer run of the same generator keeps the values already handed out.
const float* pseudoRandomValues(size_t count) {
    static std::vector<float> values;
    if (values.size() < count) {
        std::mt19937 generator(7);
        std::uniform_real_distribution<float> value(0.0f, 1.0f);
        values.resize(count);
        for (float& v : values) v = value(generator);
    }
    return values.data();
}

size_t rgbaCount(int width, int height) {
    return size_t(4) * size_t(width) * size_t(height);
}

}  // namespace

BenchHost::BenchHost(kestrel::GlBackend backend, int width, int height) : module_(modulePath()) {
    host_ = std::make_unique<kestrel::Host>(
        module_, kestrel::GlOptions{.backend = backend, .width = width, .height = height});
    effect_ = std::make_unique<Plugin::EffectData>();
    host_->api().instanceData = effect_.get();
    host_->gl()->describeTo(host_->renderContext());
    host_->gl()->beginCall();
    Plugin::declareParameters(host_->handle(), &host_->api());
    Plugin::initialiseGlEntryPoints();
    Plugin::setUpGpu(host_->handle(), &host_->api(), Plugin::programTable());
}

BenchHost::~BenchHost() {
    if (!finished_) finish();
    glUseProgram(0);
    effect_.reset();                      // deletes its programs: the context is still current
    host_->api().instanceData = nullptr;  // the registry was ours, not the module's
    host_.reset();
}

HostImage BenchHost::makeFilledImage(int width, int height) {
    HostImage image = Plugin::makeImage(call(), width, height, GL_RGBA16F);
    host_->gl()->lentImages().upload(image.texture, 0, width, height,
                                     pseudoRandomValues(rgbaCount(width, height)));
    return image;
}

HostImage BenchHost::makePyramid(int width, int height) {
    const uint32_t texture =
        host_->api().CreateImage(host_->handle(), &host_->renderContext(), width, height,
                                 GL_RGBA16F, GL_RGBA, GL_FLOAT, 0, 0, nullptr, nullptr, 1);
    HostImage image{};
    if (texture == 0 || !host_->gl()->lentImages().describe(texture, &image)) {
        throw std::runtime_error("the host lent no mip-mapped image");
    }
    return image;
}

HostImage BenchHost::makeFilledPyramid(int width, int height, int variant) {
    HostImage image = makePyramid(width, height);
    const size_t shift = rgbaCount(width, variant);
    host_->gl()->lentImages().upload(image.texture, 0, width, height,
                                     pseudoRandomValues(shift + rgbaCount(width, height)) + shift);
    return image;
}

bool BenchHost::chooseMethod(int value) {
    host_->parameters().setChoiceByValue(Plugin::ids::kMethod, 0, value, 0);
    const int32_t time = host_->renderContext().time;
    return host_->api().GetChoiceParameter(host_->handle(), Plugin::ids::kMethod, time) == value;
}

std::string BenchHost::describeRenderer() {
    kestrel::EglContext& context = host_->gl()->context();
    return context.renderer() + " (OpenGL " + context.version() + "), " +
           (context.isSoftware() ? "software" : "hardware") + ", " + context.origin();
}

int BenchHost::finish() {
    finished_ = true;
    Plugin::restoreHostBindings(call());
    host_->gl()->endCall();
    for (const std::string& line : host_->gl()->lastStateDifferences()) {
        std::cerr << "warning: GL state left changed: " << line << '\n';
    }
    int errors = 0;
    if (const int lent = host_->gl()->lentImages().outstanding(); lent != 0) {
        std::cerr << "error: " << lent << " images lent and not given back\n";
        ++errors;
    }
    if (const int hostErrors = host_->hostErrors(); hostErrors != 0) {
        std::cerr << "error: " << hostErrors << " host errors\n";
        ++errors;
    }
    return errors;
}

}  // namespace bench
