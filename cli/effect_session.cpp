#include "cli/effect_session.h"

namespace ruvovav::cli {
namespace {

// A failure the host caught inside one of its operations during the last call, as the cause
// of that call's failure; empty when there was none.
std::string causeSince(const kestrel::Host& host, int failuresBefore) {
    if (host.callbackFailures() == failuresBefore) return {};
    return ": " + host.lastCallbackFailure();
}

}  // namespace

// Each way start-up can fail says which it was: the module was not found, did not load or
// lacks an entry point (the loader's own words), there is no OpenGL, or the effect refused
// to start on the context it got.
EffectSession::EffectSession(const std::filesystem::path& modulePath, kestrel::GlBackend backend)
    : module_(std::make_unique<kestrel::PluginModule>(
          modulePath.empty() ? kestrel::defaultModulePath() : modulePath)) {
    try {
        host_ = std::make_unique<kestrel::Host>(*module_, kestrel::GlOptions{.backend = backend});
    } catch (const std::exception& e) {
        throw SessionError(std::string("no OpenGL context for the effect: ") + e.what());
    }
    if (host_->createInstance() != 1 || host_->setUpGpu() != 1 || host_->declareParameters() != 1) {
        throw SessionError("the effect failed to start on this OpenGL context");
    }
}

EffectSession::~EffectSession() {
    // The instance goes before the host's context and the module it came from.
    host_->destroyInstance();
}

std::string EffectSession::renderer() {
    const kestrel::EglContext& context = host_->gl()->context();
    context.makeCurrent();
    return context.renderer() + " (" + context.version() + ", " + context.origin() + ")";
}

void EffectSession::setClip(int width, int height, int frameCount,
                            kestrel::ClipFrames::FrameSource source) {
    host_->gl()->setClipSource(width, height, frameCount, std::move(source));
}

std::pair<kestrel::ParameterValue, kestrel::ParameterValue> analysisPoints(const PixelRect& box,
                                                                           int width, int height) {
    const double halfWidth = 0.5 * width;
    const double halfHeight = 0.5 * height;
    const double left = box.x - halfWidth;
    const double right = box.x + box.width - halfWidth;
    const double top = (height - box.y) - halfHeight;
    const double bottom = (height - box.y - box.height) - halfHeight;
    return {{left, top}, {right, bottom}};
}

void EffectSession::placeBox(const PixelRect& box) {
    const auto [first, second] = analysisPoints(box, host_->gl()->width(), host_->gl()->height());
    parameters().set("analyzePoint1", 0, first, 0);
    parameters().set("analyzePoint2", 0, second, 0);
}

void EffectSession::pressAnalysis(const PixelRect& box, int frameIndex, const std::string& button) {
    placeBox(box);
    host_->renderContext().currentFrame = frameIndex;
    host_->renderContext().time = frameIndex;
    host_->gl()->loadSourceFrame(frameIndex);
    const int failures = host_->callbackFailures();
    if (host_->notify(7, button) != 1 || host_->callbackFailures() != failures)
        throw SessionError("the effect's analysis failed" + causeSince(*host_, failures));
}

// A frame the host could not fetch for the module, even one the module worked around, fails
// the render: a result made without it would not be the one asked for.
std::vector<float> EffectSession::render(int frameIndex) {
    const int failures = host_->callbackFailures();
    if (host_->renderFrame(frameIndex) != 1 || host_->callbackFailures() != failures) {
        throw SessionError("the effect failed to render frame " + std::to_string(frameIndex) +
                           causeSince(*host_, failures));
    }
    return host_->gl()->readDestination();
}

}  // namespace ruvovav::cli
