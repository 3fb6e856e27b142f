// Owning handles of GStreamer objects, each released once, whatever path the code takes.
#pragma once

#include <gst/gst.h>

#include <memory>

namespace ruvovav::gst {

struct BufferRelease {
    void operator()(GstBuffer* buffer) const { gst_buffer_unref(buffer); }
};
struct CapsRelease {
    void operator()(GstCaps* caps) const { gst_caps_unref(caps); }
};

using BufferPtr = std::unique_ptr<GstBuffer, BufferRelease>;
using CapsPtr = std::unique_ptr<GstCaps, CapsRelease>;

}  // namespace ruvovav::gst
