#include "host/host.h"

#include <map>

namespace kestrel {

Host::Host(const PluginModule& module) : module_(module) {
    fillTable();
    fillGlTable();
    api_.renderContext = &renderContext_;
}

Host::Host(const PluginModule& module, const GlOptions& gl) : Host(module) {
    gl_ = std::make_unique<HostGl>(gl);
}

Host::~Host() {
    // An editor closing a project destroys every instance it still holds.
    if (api_.instanceData != nullptr) destroyInstance();
}

HostHandle Host::handle() const {
    return reinterpret_cast<HostHandle>(this);
}

Host& Host::calledThrough(HostHandle handle) {
    Host& host = *reinterpret_cast<Host*>(handle);
    ++host.hostCalls_;
    return host;
}

void Host::noteCallbackFailure(const char* what) noexcept {
    ++callbackFailures_;
    try {
        lastCallbackFailure_ = what;
    } catch (...) {
        lastCallbackFailure_.clear();  // no memory even for the text: the count still tells
    }
}

int Host::hostErrors() const {
    int errors = parameters_.hostErrors() + ownErrors_;
    if (gl_) errors += gl_->lentImages().hostErrors() + gl_->objects().hostErrors();
    return errors;
}

int32_t Host::callModule(int32_t message) {
    if (!gl_) return module_.notify()(handle(), &api_, message);
    gl_->describeTo(renderContext_);
    gl_->beginCall();
    const int32_t result = module_.notify()(handle(), &api_, message);
    gl_->endCall();
    return result;
}

int32_t Host::notify(int32_t message) {
    api_.callArgs = nullptr;
    return callModule(message);
}

int32_t Host::notify(int32_t message, const std::string& parameterId) {
    callParameterId_ = parameterId;
    callArgs_.parameterId = callParameterId_.c_str();
    api_.callArgs = &callArgs_;
    const int32_t result = callModule(message);
    api_.callArgs = nullptr;
    return result;
}

bool Host::undoAndNotify() {
    struct Snapshot {
        ParameterValue value;
        std::map<int32_t, ParameterValue> keys;
        bool operator==(const Snapshot&) const = default;
    };
    // Buttons and labels hold no value an undo could change.
    const auto holdsValue = [](const ParameterDeclaration& d) {
        return d.kind != ParameterKind::Button && d.kind != ParameterKind::Label;
    };
    const auto snapshot = [&](const ParameterDeclaration& d) {
        return Snapshot{parameters_.value(d.id, renderContext_.time), parameters_.keyframes(d.id)};
    };
    std::vector<Snapshot> before;
    for (const ParameterDeclaration& d : parameters_.declarations()) {
        if (holdsValue(d)) before.push_back(snapshot(d));
    }
    if (!parameters_.undo()) return false;
    std::vector<std::string> changed;
    size_t index = 0;
    for (const ParameterDeclaration& d : parameters_.declarations()) {
        if (!holdsValue(d)) continue;
        if (!(snapshot(d) == before[index++])) changed.push_back(d.id);
    }
    for (const std::string& id : changed) notify(7, id);
    return true;
}

int32_t Host::renderFrame(int frameIndex) {
    renderContext_.currentFrame = frameIndex;
    renderContext_.time = frameIndex;
    if (gl_) gl_->loadSourceFrame(frameIndex);
    return notify(10);
}

}  // namespace kestrel
