#include "editor_core/module_location.h"

#include <dlfcn.h>

#include <cstdlib>

namespace ruvovav::editor {

std::filesystem::path ownBinaryPath() {
    Dl_info info{};
    if (dladdr(reinterpret_cast<void*>(&ownBinaryPath), &info) == 0 || info.dli_fname == nullptr) {
        return {};
    }
    std::error_code error;
    const std::filesystem::path resolved = std::filesystem::canonical(info.dli_fname, error);
    return error ? std::filesystem::path(info.dli_fname) : resolved;
}

std::filesystem::path effectModulePath() {
    const char* named = std::getenv(kModuleVariable);
    if (named != nullptr && *named != '\0') return named;
    return ownBinaryPath().parent_path() / kModuleFileName;
}

}  // namespace ruvovav::editor
