// A headless OpenGL 4.1 core context for unit tests of the plug-in's GL code, made by the
// host's own EGL context class. GL tests never skip: when the machine cannot provide a
// context the test fails with the reason.
#pragma once

#include <gtest/gtest.h>

#include <memory>

#include "host/egl_context.h"

namespace test {

class GLTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override { context_.reset(); }

private:
    std::unique_ptr<kestrel::EglContext> context_;
};

}  // namespace test
