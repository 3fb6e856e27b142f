// What the module tells the host about itself before any instance exists.
#pragma once

#include <cstddef>
#include <cstdint>

#include "plugin/host_api.h"

namespace Plugin {

inline constexpr const wchar_t* kTitle = L"Ruvovav";
inline constexpr const wchar_t* kSubtitle = L"grain removal";
inline constexpr const wchar_t* kCategory = L"Video Clean-up";
inline constexpr const wchar_t* kVendor = L"Orvane";
inline constexpr const wchar_t* kLegalNotice = L"Copyright (c) 2026 Orvane. All rights reserved.";
inline constexpr const char* kIdentifier = "com.ORVANE.Kestrel.Ruvovav";

// Capacities, in characters, of the host's buffers; copies are padded with zeros to these.
inline constexpr size_t kDisplayNameLimit = 512;
inline constexpr size_t kCategoryLimit = 300;
inline constexpr size_t kVendorLimit = 100;
inline constexpr size_t kLegalNoticeLimit = 400;
inline constexpr size_t kIdentifierLimit = 100;

// Fills the host's record. Keeps no state and allocates nothing that outlives the call.
void fillDescriptor(PluginDescriptor* descriptor);

}  // namespace Plugin
