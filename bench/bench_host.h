// Our host with the plug-in's programs built on its GL context, for benchmarks that drive
// the plug-in's passes directly (as its GPU tests do) rather than through a whole render.
//
// The constructor opens one module call that lasts until the destructor, so passes may run
// at any time in between. Thread-safety: none; everything runs on the creating thread.
#pragma once

#include <memory>
#include <string>

#include "gl/effect_data.h"
#include "gl/host_call.h"
#include "host/host.h"
#include "host/plugin_module.h"

namespace bench {

class BenchHost {
public:
    // Throws std::runtime_error when the module cannot be loaded or no GL 4.1 context exists.
    BenchHost(kestrel::GlBackend backend, int width, int height);
    ~BenchHost();
    BenchHost(const BenchHost&) = delete;
    BenchHost& operator=(const BenchHost&) = delete;

    kestrel::Host& host() { return *host_; }
    Plugin::HostCall call() { return {host_->handle(), &host_->api()}; }

    // A half-float image lent by the host, filled with fixed pseudo-random values in [0, 1).
    HostImage makeFilledImage(int width, int height);
    // A half-float image with a full mip chain, as the plug-in asks for a frame's pyramid;
    // its contents are undefined.
    HostImage makePyramid(int width, int height);
    // As makePyramid, level 0 filled as makeFilledImage fills, shifted by `variant` rows so
    // that the frames of a window differ.
    HostImage makeFilledPyramid(int width, int height, int variant);
    // Sets the host's "method" choice; false when the plug-in would read back another value.
    bool chooseMethod(int value);
    // The host reclaims the per-draw vertex arrays only when a call returns; dropping them between
    // timed iterations keeps thousands of iterations from growing the GL's object tables.
    void dropVertexArrays() { host_->gl()->objects().deleteVertexArrays(); }

    // "renderer (GL version), software|hardware, origin".
    std::string describeRenderer();
    // Ends the call and reports what the benchmarks left behind: images not given back and
    // host errors (as error lines on stderr), state differences (as warnings). Returns the
    // number of errors. Call once, before destruction.
    int finish();

private:
    kestrel::PluginModule module_;
    std::unique_ptr<kestrel::Host> host_;
    std::unique_ptr<Plugin::EffectData> effect_;
    bool finished_ = false;
};

}  // namespace bench
