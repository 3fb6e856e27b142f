// The effect, loaded and started on the GL thread, where it lives and dies.
//
// The session's context, images and module instance are made, used and destroyed on the
// GL thread only, so whichever editor thread creates, drives or destroys a GlSession, no
// GL or EGL call happens on it.
#pragma once

#include <filesystem>
#include <memory>
#include <optional>
#include <type_traits>

#include "cli/effect_session.h"
#include "editor_core/gl_thread.h"

namespace ruvovav::editor {

class GlSession {
public:
    // Starts the effect from `module` on the GL thread. Throws what EffectSession throws.
    explicit GlSession(const std::filesystem::path& module);
    ~GlSession();
    GlSession(const GlSession&) = delete;
    GlSession& operator=(const GlSession&) = delete;

    // Runs `work(session)` on the GL thread, waits, and returns what it returns.
    template <typename Work>
    auto run(Work&& work) -> std::invoke_result_t<Work&, cli::EffectSession&> {
        using Result = std::invoke_result_t<Work&, cli::EffectSession&>;
        if constexpr (std::is_void_v<Result>) {
            thread_->run([&] { work(*session_); });
        } else {
            std::optional<Result> result;
            thread_->run([&] { result.emplace(work(*session_)); });
            return std::move(*result);
        }
    }

private:
    std::shared_ptr<GlThread> thread_;  // the destructor ends the session on it
    std::unique_ptr<cli::EffectSession> session_;
};

}  // namespace ruvovav::editor
