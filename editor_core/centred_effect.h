// The effect for adapters that may hold frames: each frame is rendered with the tool's
// centred window, once the frames after it that the window reads have come.
//
// The adapter adds frames as they come and renders the oldest waiting one while ready()
// says so; at the end of a run (end of stream, a new segment) it renders the rest, whose
// windows the effect pushes back from the run's end as the tool does at a clip's end. The
// effect starts with a profile (the tool's defaults for a clip, then the profile); the
// adapter's settings go on top, as the tool's flags go over a profile. Without a profile the
// tool's automatic analysis measures the first frame rendered, and its result is kept.
//
// Thread-safety: one thread at a time; any thread may destroy it. GL work runs on the GL
// thread.
#pragma once

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "cli/effect_settings.h"
#include "editor_core/centred_window.h"
#include "editor_core/gl_session.h"

namespace ruvovav::editor {

// What one render gave back.
struct CentredRender {
    std::vector<float> rgba;    // premultiplied, rows bottom up; empty: the frame passes as it is
    std::string analysisIssue;  // why the automatic analysis refused the frame, or its warning
};

class CentredEffect {
public:
    CentredEffect();
    ~CentredEffect();
    CentredEffect(const CentredEffect&) = delete;
    CentredEffect& operator=(const CentredEffect&) = delete;

    // Starts the effect with `profile` (empty: analyse the first frame) unless it runs with
    // it already; held frames stay. Throws cli::SessionError or cli::UsageError.
    void start(const std::string& profile);
    const std::optional<std::string>& profile() const { return profile_; }
    // Writes `settings` over the profile and returns the window length they ask for. A
    // parameter set before and missing from `settings` gets the profile's value back.
    int configure(const std::vector<cli::ParameterSetting>& settings);

    void add(kestrel::Frame frame) { window_.add(std::move(frame)); }
    // Whether the oldest waiting frame can be rendered; `ending`: the run ends here.
    bool ready(bool ending) const { return window_.ready(frames_, ending); }
    // Renders the oldest waiting frame. Needs start(); throws cli::SessionError.
    CentredRender renderNext();
    // Forgets the held frames: the next frame starts a new run.
    void restart() { window_.clear(); }

    size_t waiting() const { return window_.waiting(); }
    int windowFrames() const { return frames_; }
    // Images the host lent the module and has not had back; 0 before the effect starts.
    int outstandingImages();

private:
    CentredWindow window_;
    std::unique_ptr<GlSession> session_;
    std::optional<std::string> profile_;  // the profile of the last start, failed or not
    bool analysed_ = false;
    int frames_ = 1;
    std::map<std::string, kestrel::ParameterValue> profileValues_;  // of every parameter set
};

}  // namespace ruvovav::editor
