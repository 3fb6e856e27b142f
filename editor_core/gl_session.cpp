#include "editor_core/gl_session.h"

namespace ruvovav::editor {

GlSession::GlSession(const std::filesystem::path& module) : thread_(GlThread::shared()) {
    thread_->run([&] {
        session_ = std::make_unique<cli::EffectSession>(module, kestrel::GlBackend::Automatic);
    });
}

GlSession::~GlSession() {
    thread_->run([this] { session_.reset(); });
}

}  // namespace ruvovav::editor
