#include "host/host.h"

namespace kestrel {

Host::Host(const PluginModule& module) : module_(module) {
    fillTable();
    api_.renderContext = &renderContext_;
}

Host::~Host() {
    // An editor closing a project destroys every instance it still holds.
    if (api_.instanceData != nullptr) destroyInstance();
}

HostHandle Host::handle() const {
    return reinterpret_cast<HostHandle>(this);
}

int32_t Host::notify(int32_t message) {
    api_.callArgs = nullptr;
    return module_.notify()(handle(), &api_, message);
}

int32_t Host::notify(int32_t message, const std::string& parameterId) {
    callParameterId_ = parameterId;
    callArgs_.parameterId = callParameterId_.c_str();
    api_.callArgs = &callArgs_;
    const int32_t result = module_.notify()(handle(), &api_, message);
    api_.callArgs = nullptr;
    return result;
}

}  // namespace kestrel
