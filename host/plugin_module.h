// A loaded effect module: the shared object and its two entry points, as Kestrel sees it.
#pragma once

#include <filesystem>
#include <memory>

#include "plugin/host_api.h"

namespace kestrel {

class PluginModule {
public:
    // Loads the module with dlopen and resolves both entry points. Throws
    // std::runtime_error naming the path and what is missing.
    explicit PluginModule(const std::filesystem::path& path);

    PluginInfoFn pluginInfo() const { return pluginInfo_; }
    NotifyFn notify() const { return notify_; }
    const std::filesystem::path& path() const { return path_; }

private:
    struct Closer {
        void operator()(void* handle) const;
    };
    std::filesystem::path path_;
    std::unique_ptr<void, Closer> handle_;
    PluginInfoFn pluginInfo_ = nullptr;
    NotifyFn notify_ = nullptr;
};

// The module path the tools use when none is given: next to the running executable.
std::filesystem::path defaultModulePath();

}  // namespace kestrel
