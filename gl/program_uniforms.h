// Uniforms that every program drawn with the standard vertex program shares.
#pragma once

#include "gl/host_call.h"

namespace Plugin {

// The render context's projection and model-view matrices into the current program's
// vertex stage (4x4, one each, column-major as the host gives them).
void setVertexMatrices(const HostCall& call);
// The current program's source sampler reads texture unit 0.
void setSourceSamplerUnit0(const HostCall& call);

}  // namespace Plugin
