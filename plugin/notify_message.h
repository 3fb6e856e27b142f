// Message codes the host sends through Notify, and the result codes it gets back.
#pragma once

#include <cstdint>

namespace Plugin {

enum class NotifyMessage : uint32_t {
    CreateInstance = 0,
    DestroyInstance = 1,
    DeclareParameters = 2,
    Reserved3 = 3,
    Reserved4 = 4,
    ParameterChanged = 7,
    GpuSetUp = 8,
    Render = 10,
    BrightnessEditNoUndo = 13,
    BrightnessEdit = 14,
};

inline constexpr uint32_t kLastNotifyMessage = 14;

enum NotifyResult : int32_t {
    kHandled = 1,
    kNotHandled = 2,
    kFailed = 5,
};

}  // namespace Plugin
