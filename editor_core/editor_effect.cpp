#include "editor_core/editor_effect.h"

#include <cstring>

#include "editor_core/frame_analysis.h"
#include "editor_core/module_location.h"
#include "editor_core/rgba8_frames.h"

namespace ruvovav::editor {
namespace {

// What one render on the GL thread came back with.
struct Rendered {
    std::vector<float> rgba;    // empty when the analysis refused the frame
    std::string analysisIssue;  // why the analysis refused, or its warning
};

}  // namespace

EditorEffect::EditorEffect(int width, int height)
    : width_(width), height_(height), watch_(width, height) {}

EditorEffect::~EditorEffect() = default;

void EditorEffect::process(double time, const uint8_t* in, uint8_t* out,
                           const EditorSettings& settings) {
    const FrameStep step = placeFrame(time);
    try {
        if (profile_ != settings.profile) startSession(settings.profile);
    } catch (const std::exception& e) {
        notices_.say("start",
                     std::string("the effect cannot start, frames pass unchanged: ") + e.what());
    }
    const int frames = session_ ? windowFrames(started_, settings) : 1;
    window_.add(frameFromRgba8(in, width_, height_), step, frames);
    try {
        if (session_ && renderWindow(settings, out)) return;
    } catch (const std::exception& e) {
        notices_.say("render",
                     std::string("a frame failed to render and passes unchanged: ") + e.what());
    }
    passThrough(in, out);
}

FrameStep EditorEffect::placeFrame(double time) {
    const std::optional<double> previous = clock_.previousTime();
    const FrameStep step = clock_.advance(time);
    if (!usableTime(time) || !watch_.splitBetween(previous, time)) return step;
    if (step != FrameStep::Restart) {
        notices_.say("split",
                     "another instance gets the frames between this instance's frames "
                     "(parallel rendering); such frames are denoised alone");
    }
    return FrameStep::Restart;
}

void EditorEffect::startSession(const std::string& profile) {
    // Set first: a profile that cannot be used is not read again until its path changes.
    profile_ = profile;
    session_.reset();
    auto session = std::make_unique<GlSession>(effectModulePath());
    started_ =
        session->run([&](cli::EffectSession& s) { return startSettings(s.parameters(), profile); });
    analysed_ = started_.analysed;
    session_ = std::move(session);
}

bool EditorEffect::renderWindow(const EditorSettings& settings, uint8_t* out) {
    // The clip is read during this task only, while the window stands still.
    const std::vector<const kestrel::Frame*> frames = window_.linked();
    const int current = int(frames.size()) - 1;
    const Rendered rendered = session_->run([&](cli::EffectSession& s) {
        cli::applySettings(s.parameters(), adjustedSettings(started_, settings, s.parameters()));
        s.setClip(width_, height_, current + 1, [frames](int i) { return frames[size_t(i)]; });
        Rendered r;
        if (!analysed_) r.analysisIssue = analyseFrame(s, *frames.back(), current, analysed_);
        if (analysed_) r.rgba = s.render(current);
        return r;
    });
    if (!rendered.analysisIssue.empty()) reportAnalysis(rendered.analysisIssue);
    if (rendered.rgba.empty()) return false;
    rgba8FromResult(rendered.rgba, width_, height_, out);
    return true;
}

void EditorEffect::reportAnalysis(const std::string& issue) {
    if (analysed_) {
        notices_.say("analysis warning", "automatic analysis: " + issue);
    } else {
        notices_.say("analysis",
                     "the automatic analysis refused a frame; frames pass unchanged "
                     "until one can be analysed: " +
                         issue);
    }
}

void EditorEffect::passThrough(const uint8_t* in, uint8_t* out) const {
    if (in != out) std::memmove(out, in, size_t(4) * size_t(width_) * size_t(height_));
}

int EditorEffect::outstandingImages() {
    if (!session_) return 0;
    return session_->run(
        [](cli::EffectSession& s) { return s.host().gl()->lentImages().outstanding(); });
}

}  // namespace ruvovav::editor
