#include "cli/progress.h"

#include <cmath>
#include <cstdio>
#include <string>

namespace ruvovav::cli {
namespace {

constexpr int kBarWidth = 30;
// Plain lines are for logs: often enough to show life, rarely enough to stay readable.
constexpr double kLineInterval = 5.0;
constexpr double kBarInterval = 0.1;

std::string clockText(double seconds) {
    const auto s = int64_t(std::lround(seconds));
    char text[32];
    if (s >= 3600) {
        std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", static_cast<long long>(s / 3600),
                      static_cast<long long>(s / 60 % 60), static_cast<long long>(s % 60));
    } else {
        std::snprintf(text, sizeof text, "%lld:%02lld", static_cast<long long>(s / 60),
                      static_cast<long long>(s % 60));
    }
    return text;
}

}  // namespace

Progress::Progress(std::ostream& out, int64_t total, bool terminal)
    : out_(out), total_(total), terminal_(terminal) {}

std::string Progress::describe(int64_t done, int64_t total, double elapsed) {
    std::string text = std::to_string(done) + "/" + std::to_string(total) + " frames";
    if (done > 0 && elapsed > 0) {
        const double fps = double(done) / elapsed;
        char rate[32];
        std::snprintf(rate, sizeof rate, ", %.1f fps", fps);
        text += rate;
        if (done < total) text += ", " + clockText(double(total - done) / fps) + " left";
    }
    return text;
}

void Progress::update(int64_t done) {
    done_ = done;
    const auto now = Clock::now();
    const double sinceLast = std::chrono::duration<double>(now - lastPrint_).count();
    if (sinceLast < (terminal_ ? kBarInterval : kLineInterval)) return;
    lastPrint_ = now;
    print(done, false);
}

void Progress::finish() {
    print(done_, true);
}

void Progress::print(int64_t done, bool last) {
    const double elapsed = std::chrono::duration<double>(Clock::now() - start_).count();
    const std::string text = describe(done, total_, elapsed);
    if (!terminal_) {
        out_ << "ruvovav: " << text << "\n" << std::flush;
        return;
    }
    const int filled = total_ > 0 ? int(kBarWidth * done / total_) : kBarWidth;
    out_ << "\r[" << std::string(size_t(filled), '#')
         << std::string(size_t(kBarWidth - filled), ' ') << "] " << text << "\x1b[K";
    if (last) out_ << "\n";
    out_ << std::flush;
}

}  // namespace ruvovav::cli
