// Progress of a long job on standard error: a bar redrawn in place on a terminal, plain
// lines every few seconds otherwise (log files, render-farm consoles).
#pragma once

#include <chrono>
#include <cstdint>
#include <ostream>

namespace ruvovav::cli {

class Progress {
public:
    using Clock = std::chrono::steady_clock;

    Progress(std::ostream& out, int64_t total, bool terminal);
    // `done` frames of `total` are finished.
    void update(int64_t done);
    // Ends the bar's line (a terminal) or prints the last line.
    void finish();

    // "12/100 frames, 3.4 fps, 0:26 left" at `elapsed` seconds.
    static std::string describe(int64_t done, int64_t total, double elapsed);

private:
    void print(int64_t done, bool last);

    std::ostream& out_;
    int64_t total_;
    bool terminal_;
    int64_t done_ = 0;
    Clock::time_point start_ = Clock::now();
    Clock::time_point lastPrint_ = start_;
};

}  // namespace ruvovav::cli
