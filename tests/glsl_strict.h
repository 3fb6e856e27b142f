// Checks that a GLSL 4.10 text is strict: no implicit int/float conversions, no extensions.
//
// Desktop drivers accept implicit conversions that other GLSL compilers reject, so a
// program can compile here and fail elsewhere. The text is compiled with glslangValidator
// (Debian package glslang-tools) as GLSL ES 3.00, which has no implicit conversions. Only
// the subset of 4.10 that ES 3.00 shares can pass (no geometry stage, no doubles).
#pragma once

#include <gtest/gtest.h>

#include <string>

namespace test {

// `source` must start with a "#version 410" line ("core" allowed) and use no #extension;
// `stage` is "vert" or "frag". Fails (never skips) when glslangValidator is not installed.
// The failure message carries the validator's output, with the original text's line numbers.
::testing::AssertionResult compilesAsStrictGlsl(const std::string& source, const char* stage);

}  // namespace test
