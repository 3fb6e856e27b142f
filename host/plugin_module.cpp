#include "host/plugin_module.h"

#include <dlfcn.h>
#include <unistd.h>

#include <stdexcept>
#include <string>

namespace kestrel {
namespace {

std::string lastDlError() {
    const char* text = dlerror();
    return text != nullptr ? text : "unknown dynamic-loader error";
}

void* requireSymbol(void* handle, const char* name, const std::filesystem::path& path) {
    dlerror();  // clear any stale message so the one below is about this look-up
    void* symbol = dlsym(handle, name);
    if (symbol == nullptr) {
        throw std::runtime_error("effect module " + path.string() + " does not export " + name);
    }
    return symbol;
}

}  // namespace

void PluginModule::Closer::operator()(void* handle) const {
    dlclose(handle);
}

PluginModule::PluginModule(const std::filesystem::path& path) : path_(path) {
    if (!std::filesystem::exists(path)) {
        throw std::runtime_error("effect module not found: " + path.string());
    }
    // RTLD_LOCAL keeps the module's symbols out of the global namespace, as an editor
    // loading many plug-ins must.
    handle_.reset(dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL));
    if (!handle_) {
        throw std::runtime_error("cannot load effect module " + path.string() + ": " +
                                 lastDlError());
    }
    pluginInfo_ = reinterpret_cast<PluginInfoFn>(requireSymbol(handle_.get(), "PluginInfo", path));
    notify_ = reinterpret_cast<NotifyFn>(requireSymbol(handle_.get(), "Notify", path));
}

std::filesystem::path defaultModulePath() {
    std::error_code error;
    const auto exe = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error) return "Ruvovav.kspl";
    return exe.parent_path() / "Ruvovav.kspl";
}

}  // namespace kestrel
