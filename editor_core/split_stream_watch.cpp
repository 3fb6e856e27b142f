#include "editor_core/split_stream_watch.h"

#include <algorithm>
#include <deque>
#include <map>
#include <mutex>

namespace ruvovav::editor {
namespace {

// Enough for the frames other threads render while one renders its own.
constexpr size_t kRememberedTimes = 32;

struct Given {
    int width = 0;
    int height = 0;
    std::deque<double> times;
};

struct Table {
    std::mutex mutex;
    std::map<const SplitStreamWatch*, Given> given;
};

// Never destroyed: an instance an editor leaks may still leave the table at exit.
Table& table() {
    static Table& shared = *new Table;
    return shared;
}

bool strictlyBetween(double t, double low, double high) {
    const double margin = 0.01 * (high - low);
    return t > low + margin && t < high - margin;
}

}  // namespace

SplitStreamWatch::SplitStreamWatch(int width, int height) : width_(width), height_(height) {
    Table& t = table();
    const std::lock_guard lock(t.mutex);
    t.given[this] = {width, height, {}};
}

SplitStreamWatch::~SplitStreamWatch() {
    Table& t = table();
    const std::lock_guard lock(t.mutex);
    t.given.erase(this);
}

bool SplitStreamWatch::splitBetween(std::optional<double> previous, double time) {
    Table& t = table();
    const std::lock_guard lock(t.mutex);
    std::deque<double>& mine = t.given[this].times;
    mine.push_back(time);
    if (mine.size() > kRememberedTimes) mine.pop_front();
    if (!previous || time <= *previous) return false;
    for (const auto& [watch, other] : t.given) {
        if (watch == this || other.width != width_ || other.height != height_) continue;
        const auto inside = [&](double u) { return strictlyBetween(u, *previous, time); };
        if (std::any_of(other.times.begin(), other.times.end(), inside)) return true;
    }
    return false;
}

}  // namespace ruvovav::editor
