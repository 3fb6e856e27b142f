#include "gstreamer/element_stream.h"

#include <stdexcept>

#include "editor_core/rgba16_frames.h"
#include "editor_core/rgba8_frames.h"

namespace ruvovav::gst {
namespace {

// A buffer mapped as a video frame for as long as this lives.
class MappedFrame {
public:
    MappedFrame(const GstVideoInfo& info, GstBuffer* buffer, GstMapFlags flags) {
        // gst_video_frame_map takes a non-const info in GStreamer before 1.24.
        GstVideoInfo copy = info;
        if (!gst_video_frame_map(&frame_, &copy, buffer, flags))
            throw std::runtime_error("a buffer could not be mapped as a video frame");
    }
    ~MappedFrame() { gst_video_frame_unmap(&frame_); }
    MappedFrame(const MappedFrame&) = delete;
    MappedFrame& operator=(const MappedFrame&) = delete;

    uint8_t* pixels() { return static_cast<uint8_t*>(GST_VIDEO_FRAME_PLANE_DATA(&frame_, 0)); }
    size_t stride() const { return size_t(GST_VIDEO_FRAME_PLANE_STRIDE(&frame_, 0)); }

private:
    GstVideoFrame frame_{};
};

bool wide(const GstVideoInfo& info) {
    return GST_VIDEO_INFO_FORMAT(&info) == GST_VIDEO_FORMAT_RGBA64_LE;
}

}  // namespace

ElementStream::ElementStream(const SettingsSnapshot& settings) {
    effect_.start(settings.profile);
    effect_.configure(settings.settings);
}

void ElementStream::accept(BufferPtr buffer, const SettingsSnapshot& settings) {
    effect_.start(settings.profile);  // nothing to do unless the profile changed
    effect_.configure(settings.settings);
    if (GST_BUFFER_DURATION_IS_VALID(buffer.get()))
        lastDuration_ = GST_BUFFER_DURATION(buffer.get());
    const int width = GST_VIDEO_INFO_WIDTH(&info_);
    const int height = GST_VIDEO_INFO_HEIGHT(&info_);
    {
        MappedFrame in(info_, buffer.get(), GST_MAP_READ);
        effect_.add(wide(info_) ? editor::frameFromRgba16(in.pixels(), width, height, in.stride())
                                : editor::frameFromRgba8(in.pixels(), width, height, in.stride()));
    }
    waiting_.push_back(std::move(buffer));
}

StreamOutput ElementStream::renderNext() {
    StreamOutput out{std::move(waiting_.front()), {}, false};
    waiting_.pop_front();
    editor::CentredRender rendered = effect_.renderNext();
    out.analysisIssue = std::move(rendered.analysisIssue);
    out.passedUnchanged = rendered.rgba.empty();
    if (!out.passedUnchanged) writeResult(rendered.rgba, out.buffer);
    return out;
}

void ElementStream::writeResult(const std::vector<float>& rgba, BufferPtr& buffer) const {
    buffer.reset(gst_buffer_make_writable(buffer.release()));
    MappedFrame out(info_, buffer.get(), GST_MAP_WRITE);
    const int width = GST_VIDEO_INFO_WIDTH(&info_);
    const int height = GST_VIDEO_INFO_HEIGHT(&info_);
    if (wide(info_)) {
        editor::rgba16FromResult(rgba, width, height, out.pixels(), out.stride());
    } else {
        editor::rgba8FromResult(rgba, width, height, out.pixels(), out.stride());
    }
}

void ElementStream::restart() {
    waiting_.clear();
    effect_.restart();
}

GstClockTime ElementStream::latency() const {
    GstClockTime period = lastDuration_;
    if (GST_VIDEO_INFO_FPS_N(&info_) > 0) {
        period = gst_util_uint64_scale_int(GST_SECOND, GST_VIDEO_INFO_FPS_D(&info_),
                                           GST_VIDEO_INFO_FPS_N(&info_));
    }
    if (!GST_CLOCK_TIME_IS_VALID(period)) return 0;
    return period * GstClockTime(effect_.windowFrames() - 1);
}

}  // namespace ruvovav::gst
