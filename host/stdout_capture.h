// Captures what the process writes to standard output, for tests of a module's diagnostics.
//
// The module prints with the C library, so the capture works on file descriptor 1 itself,
// not on std::cout's buffer. Thread-safety: one capture at a time per process.
#pragma once

#include <string>

namespace kestrel {

class StdoutCapture {
public:
    StdoutCapture();   // starts capturing; throws std::runtime_error when it cannot
    ~StdoutCapture();  // restores standard output if still capturing
    StdoutCapture(const StdoutCapture&) = delete;
    StdoutCapture& operator=(const StdoutCapture&) = delete;

    // Stops capturing and returns everything written since the start.
    std::string finish();

private:
    void restore();
    int savedFd_ = -1;
    int captureFd_ = -1;
};

}  // namespace kestrel
