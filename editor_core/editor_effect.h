// The effect as an editor's filter sees it: one frame in, that frame denoised out.
//
// Each instance keeps the frames before the current one that the clock links to it, starts
// the effect on the GL thread with the first frame (never earlier: editors build instances
// they never use), loads the profile when its path changes, runs the tool's automatic
// analysis when there is no profile, and renders the current frame as the last frame of
// the window. Where the effect cannot run, frames pass unchanged and standard error says
// why, once: a filter has no other way to report.
//
// Thread-safety: one thread at a time per instance; any thread may destroy it.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "editor_core/frame_clock.h"
#include "editor_core/gl_session.h"
#include "editor_core/lookback_window.h"
#include "editor_core/notices.h"
#include "editor_core/session_settings.h"
#include "editor_core/split_stream_watch.h"

namespace ruvovav::editor {

class EditorEffect {
public:
    EditorEffect(int width, int height);
    ~EditorEffect();
    EditorEffect(const EditorEffect&) = delete;
    EditorEffect& operator=(const EditorEffect&) = delete;

    // Denoises the frame the editor gives at `time`: `in` and `out` are width x height RGBA
    // bytes with straight alpha, top row first (they may be the same buffer).
    void process(double time, const uint8_t* in, uint8_t* out, const EditorSettings& settings);

    int width() const { return width_; }
    int height() const { return height_; }
    bool started() const { return session_ != nullptr; }
    // Images the host lent the module and has not had back; 0 before the effect starts.
    int outstandingImages();

private:
    FrameStep placeFrame(double time);
    void startSession(const std::string& profile);
    bool renderWindow(const EditorSettings& settings, uint8_t* out);
    void reportAnalysis(const std::string& issue);
    void passThrough(const uint8_t* in, uint8_t* out) const;

    int width_;
    int height_;
    FrameClock clock_;
    SplitStreamWatch watch_;
    LookbackWindow window_;
    Notices notices_;
    std::optional<std::string> profile_;  // the profile of the last start, failed or not
    StartedSettings started_;
    bool analysed_ = false;
    std::unique_ptr<GlSession> session_;
};

}  // namespace ruvovav::editor
