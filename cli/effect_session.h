// The Ruvovav module loaded and started on our host's OpenGL context, driven as the editor
// drives it: parameters set in the host's store, buttons pressed through message 7, frames
// rendered through message 10.
#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "cli/value_parsers.h"
#include "host/clip_frames.h"
#include "host/egl_context.h"
#include "host/host.h"
#include "host/plugin_module.h"

namespace ruvovav::cli {

struct SessionError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

class EffectSession {
public:
    // Loads the module (empty path: the one beside the executable), creates an instance, sets
    // up its GPU programs and declares its parameters. Throws SessionError.
    EffectSession(const std::filesystem::path& modulePath, kestrel::GlBackend backend);
    ~EffectSession();
    EffectSession(const EffectSession&) = delete;
    EffectSession& operator=(const EffectSession&) = delete;

    kestrel::Host& host() { return *host_; }
    kestrel::ParameterStore& parameters() { return host_->parameters(); }
    // "llvmpipe (LLVM 15.0.6, 256 bits), OpenGL 4.5 ..., software".
    std::string renderer();

    // The clip the effect is applied to, streamed one frame at a time.
    void setClip(int width, int height, int frameCount, kestrel::ClipFrames::FrameSource source);
    // Places the analysis box over `box` (image pixels, top-left origin).
    void placeBox(const PixelRect& box);
    // Places the analysis box over `box` (image pixels, top-left origin) and presses `button`
    // ("analyzeButton" or "AnalyzeBrightnessButton") at frame `frameIndex`.
    void pressAnalysis(const PixelRect& box, int frameIndex, const std::string& button);
    // Renders frame i: the destination as premultiplied RGBA floats, rows bottom up.
    std::vector<float> render(int frameIndex);

private:
    std::unique_ptr<kestrel::PluginModule> module_;
    std::unique_ptr<kestrel::Host> host_;
};

// The two analysis-box points for a box in image pixels with a top-left origin: the effect
// measures its points from the frame's centre with y pointing up.
std::pair<kestrel::ParameterValue, kestrel::ParameterValue> analysisPoints(const PixelRect& box,
                                                                           int width, int height);

}  // namespace ruvovav::cli
