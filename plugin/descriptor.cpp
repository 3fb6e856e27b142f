#include "plugin/descriptor.h"

#include <cstring>
#include <cwchar>
#include <string>

#include "plugin/exports.h"

namespace Plugin {
namespace {

// A fixed identity for the effect class; hosts use it to match saved projects.
constexpr uint8_t kClassId[16] = {0x5b, 0x0e, 0x7a, 0x41, 0xc2, 0x93, 0x4d, 0x6f,
                                  0xa8, 0x1d, 0x37, 0xe4, 0x90, 0x2c, 0x66, 0xb1};

std::wstring displayName() {
    return std::wstring(kTitle) + L" {" + kSubtitle + L"}";
}

}  // namespace

void fillDescriptor(PluginDescriptor* d) {
    d->zero = 0;
    std::memcpy(d->classId, kClassId, sizeof kClassId);
    // wcsncpy pads with zeros up to the limit, which is what the host expects of its buffers.
    std::wcsncpy(d->displayName, displayName().c_str(), kDisplayNameLimit);
    std::wcsncpy(d->category, kCategory, kCategoryLimit);
    std::wcsncpy(d->vendor, kVendor, kVendorLimit);
    std::wcsncpy(d->legalNotice, kLegalNotice, kLegalNoticeLimit);
    if (d->identifier != nullptr) std::strncpy(d->identifier, kIdentifier, kIdentifierLimit);
    d->numbers88[0] = 144585159;
    d->numbers88[1] = 16;
    d->numbers88[2] = 1;
    d->numbers56[0] = 1;
    d->numbers56[1] = 2;
    d->numbers56[2] = 0;
    d->numbers56[3] = 0;
    d->numbers56[4] = 4;
}

}  // namespace Plugin

extern "C" RUVOVAV_EXPORT void PluginInfo(void*, void*, PluginDescriptor* descriptor) {
    Plugin::fillDescriptor(descriptor);
}
