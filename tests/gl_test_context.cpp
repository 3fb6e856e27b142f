#include "tests/gl_test_context.h"

#include <stdexcept>

namespace test {

// A fresh context per test keeps GL objects of one test from hiding faults in another.
void GLTest::SetUp() {
    try {
        context_ = std::make_unique<kestrel::EglContext>();
    } catch (const std::exception& e) {
        FAIL() << "OpenGL 4.1 core test context unavailable: " << e.what();
    }
}

}  // namespace test
