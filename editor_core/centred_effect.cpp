#include "editor_core/centred_effect.h"

#include "editor_core/frame_analysis.h"
#include "editor_core/module_location.h"
#include "editor_core/session_settings.h"
#include "params/parameter_ids.h"

namespace ruvovav::editor {
namespace {

bool setIn(const std::vector<cli::ParameterSetting>& settings, const std::string& id) {
    for (const cli::ParameterSetting& s : settings) {
        if (s.id == id) return true;
    }
    return false;
}

}  // namespace

CentredEffect::CentredEffect() = default;

CentredEffect::~CentredEffect() = default;

void CentredEffect::start(const std::string& profile) {
    if (session_ && profile_ == profile) return;
    // Set first: a profile that cannot be used is not read again until its path changes.
    profile_ = profile;
    session_.reset();
    profileValues_.clear();
    auto session = std::make_unique<GlSession>(effectModulePath());
    analysed_ = session->run(
        [&](cli::EffectSession& s) { return startSettings(s.parameters(), profile).analysed; });
    session_ = std::move(session);
}

int CentredEffect::configure(const std::vector<cli::ParameterSetting>& settings) {
    frames_ = session_->run([&](cli::EffectSession& s) {
        kestrel::ParameterStore& store = s.parameters();
        for (const auto& [id, value] : profileValues_) {
            if (!setIn(settings, id)) store.set(id, 0, value, 0);
        }
        for (const cli::ParameterSetting& setting : settings) {
            profileValues_.try_emplace(setting.id, store.value(setting.id, 0));
        }
        cli::applySettings(store, settings);
        return store.choiceValue(Plugin::ids::kNumberOfFrames, 0);
    });
    return frames_;
}

CentredRender CentredEffect::renderNext() {
    const std::vector<const kestrel::Frame*> frames = window_.clip();
    const int current = window_.current();
    const kestrel::Frame& frame = *frames[size_t(current)];
    try {
        // The clip is read during this task only, while the window stands still.
        CentredRender rendered = session_->run([&](cli::EffectSession& s) {
            s.setClip(frame.width, frame.height, int(frames.size()),
                      [frames](int i) { return frames[size_t(i)]; });
            CentredRender r;
            if (!analysed_) r.analysisIssue = analyseFrame(s, frame, current, analysed_);
            if (analysed_) r.rgba = s.render(current);
            return r;
        });
        window_.advance(frames_);
        return rendered;
    } catch (...) {
        window_.advance(frames_);  // the frame is done with, rendered or not
        throw;
    }
}

int CentredEffect::outstandingImages() {
    if (!session_) return 0;
    return session_->run(
        [](cli::EffectSession& s) { return s.host().gl()->lentImages().outstanding(); });
}

}  // namespace ruvovav::editor
