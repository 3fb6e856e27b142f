// The state a pass that blends promises the next one, restored however the pass ends.
#pragma once

#include "gl/blend_state.h"
#include "gl/render_target.h"

namespace Plugin {

// Blending off with all colour writes on (endBlendArithmetic), then the host's bindings
// back. Declared before the pass's leases, it runs after every image went back.
class BlendingPassGuard {
public:
    explicit BlendingPassGuard(const HostCall& call) : bindings_(call) {}
    ~BlendingPassGuard() { endBlendArithmetic(); }
    BlendingPassGuard(const BlendingPassGuard&) = delete;
    BlendingPassGuard& operator=(const BlendingPassGuard&) = delete;

private:
    HostBindingsGuard bindings_;  // destroyed after the destructor's body
};

}  // namespace Plugin
