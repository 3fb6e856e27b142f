// The element's frames on their way through: each input buffer waits, converted for the
// effect, until the frames its window reads have come; then the effect's result is written
// into it and it goes on with its own timestamps, duration and flags.
//
// Thread-safety: the streaming thread only (start and stop come when it is not running).
#pragma once

#include <gst/video/video.h>

#include <deque>
#include <string>

#include "editor_core/centred_effect.h"
#include "gstreamer/element_settings.h"
#include "gstreamer/gst_handles.h"

namespace ruvovav::gst {

struct StreamOutput {
    BufferPtr buffer;
    std::string analysisIssue;  // the automatic analysis's warning, or why it refused the frame
    bool passedUnchanged = false;
};

class ElementStream {
public:
    // Starts the effect with the settings' profile. Throws what editor::CentredEffect throws.
    explicit ElementStream(const SettingsSnapshot& settings);

    // The frames' format, from the negotiated caps: RGBA or RGBA64_LE.
    void setFormat(const GstVideoInfo& info) { info_ = info; }
    // Takes the next input buffer, rendered with `settings` when its turn comes. Throws
    // std::runtime_error for a buffer that cannot be read, or what the effect throws.
    void accept(BufferPtr buffer, const SettingsSnapshot& settings);
    // Whether the oldest waiting buffer can be rendered; `ending`: nothing follows it in this run.
    bool ready(bool ending) const { return effect_.ready(ending); }
    // The oldest waiting buffer with its frame rendered. Throws cli::SessionError.
    StreamOutput renderNext();
    // Drops what waits: the next buffer starts a new run.
    void restart();

    // How long a frame may wait for the ones after it: the first of a run waits for the
    // window's length less one. 0 while the frame rate is unknown.
    GstClockTime latency() const;
    int outstandingImages() { return effect_.outstandingImages(); }

private:
    void writeResult(const std::vector<float>& rgba, BufferPtr& buffer) const;

    editor::CentredEffect effect_;
    GstVideoInfo info_{};
    std::deque<BufferPtr> waiting_;
    GstClockTime lastDuration_ = GST_CLOCK_TIME_NONE;
};

}  // namespace ruvovav::gst
