#include "cli/interrupt.h"

#include <atomic>
#include <csignal>

namespace ruvovav::cli {
namespace {

std::atomic<bool> stopRequested{false};

extern "C" void onInterrupt(int signal) {
    stopRequested.store(true);
    // Restore the default so that a second Ctrl-C kills a job that does not stop.
    std::signal(signal, SIG_DFL);
}

}  // namespace

void catchInterrupts() {
    std::signal(SIGINT, onInterrupt);
    std::signal(SIGTERM, onInterrupt);
}

bool interrupted() {
    return stopRequested.load();
}

}  // namespace ruvovav::cli
