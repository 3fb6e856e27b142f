// Reads a module's descriptor the way the editor does, into plain host-side values.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "host/plugin_module.h"

namespace kestrel {

struct ModuleDescriptor {
    std::array<uint8_t, 16> classId{};
    std::wstring displayName;
    std::wstring category;
    std::wstring vendor;
    std::wstring legalNotice;
    std::string identifier;
    std::array<uint32_t, 5> numbers56{};
    std::array<uint32_t, 3> numbers88{};
};

// Calls PluginInfo with buffers of the sizes the interface promises.
ModuleDescriptor readDescriptor(const PluginModule& module);

}  // namespace kestrel
