#include "render/frame_window.h"

#include <algorithm>
#include <cwchar>
#include <iostream>

#include "denoise/colour_conversion.h"

namespace Plugin {
namespace {

// The other editor's identifier; only its first 16 characters are compared.
constexpr wchar_t kUnclampedWindowHost[] = L"org.otherhost.fx";
constexpr size_t kIdentifierLength = 16;

// The lease of a fetched record: empty when the record is the host's own source.
HostImageLease lentImage(const HostCall& call, const HostImage& record) {
    if (record.texture == call.renderContext()->source->texture) return {call, HostImage{}};
    return {call, record};
}

// The record of frame i: the host's source for the current frame, else a fetched one.
// Returns false when the host asks to stop after a failed fetch.
bool fetchFrame(const HostCall& call, int i, HostImage& record) {
    const RenderContext& rc = *call.renderContext();
    record = *rc.source;
    if (i == rc.currentFrame) return true;
    if (call.api->GetSourceFrame(call.host, &rc, i, &record) == 0) return true;
    if (call.api->ReportProgress(call.host, 0, 1) != 0) {
        // What the host left in the record is its business; give back only a lent image.
        const HostImageLease leftOver = lentImage(call, record);
        return false;
    }
    std::cout << "Error retrieving source image frame: " << i << std::endl;
    record = *rc.source;
    return true;
}

}  // namespace

bool hostKeepsWindowPastTheEnd(const HostCall& call) {
    if (call.api->GetHostIdentifier == nullptr) return false;
    const wchar_t* identifier = call.api->GetHostIdentifier(call.host);
    return identifier != nullptr && std::wcslen(identifier) >= kIdentifierLength &&
           std::wcsncmp(identifier, kUnclampedWindowHost, kIdentifierLength) == 0;
}

bool loadFrameWindow(const HostCall& call, const rules::WindowRange& range, LoadedWindow& window) {
    for (int i = range.first; i <= range.last; ++i) {
        HostImage record{};
        if (!fetchFrame(call, i, record)) return false;
        const HostImageLease lent = lentImage(call, record);
        window.leases.emplace_back(call, makeImageLike(call, record.width, record.height, true, 1));
        window.frames.push_back({window.leases.back().image()});
        renderRGBToYUV(call, record, window.frames.back().image);
    }
    return true;
}

}  // namespace Plugin
