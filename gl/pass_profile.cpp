#include "gl/pass_profile.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace Plugin::gl {
namespace {

using Clock = std::chrono::steady_clock;

double nanosecondsPerFragment(double milliseconds, uint64_t fragments) {
    return fragments > 0 ? milliseconds * 1e6 / double(fragments) : 0.0;
}

void appendRow(std::string& text, const std::string& name, const PassProfile::Totals& t,
               double share) {
    char row[256];
    std::snprintf(row, sizeof row, "%-28s %7d %10.2f %10.1f %6.1f%% %9.2f %7d %9.2f\n",
                  name.c_str(), t.draws, double(t.fragments) / 1e6, t.milliseconds, share,
                  nanosecondsPerFragment(t.milliseconds, t.fragments), t.largeDraws,
                  nanosecondsPerFragment(t.largeMilliseconds, t.largeFragments));
    text += row;
}

struct DrawCost {
    double milliseconds = 0;
    uint64_t fragments = 0;
};

// One draw between two glFinish calls, its fragments counted by a query of its own. Queries
// of one target cannot nest: under a caller's own count, the fragments go uncounted.
DrawCost timedDraw(GLenum mode, GLsizei count) {
    GLint outerQuery = 0;
    glGetQueryiv(GL_SAMPLES_PASSED, GL_CURRENT_QUERY, &outerQuery);
    GLuint query = 0;
    if (outerQuery == 0) glGenQueries(1, &query);
    glFinish();
    const Clock::time_point start = Clock::now();
    if (query != 0) glBeginQuery(GL_SAMPLES_PASSED, query);
    glDrawArrays(mode, 0, count);
    if (query != 0) glEndQuery(GL_SAMPLES_PASSED);
    glFinish();
    DrawCost cost;
    cost.milliseconds = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    if (query != 0) {
        GLuint64 fragments = 0;
        glGetQueryObjectui64v(query, GL_QUERY_RESULT, &fragments);
        glDeleteQueries(1, &query);
        cost.fragments = fragments;
    }
    return cost;
}

}  // namespace

PassProfile& PassProfile::instance() {
    static PassProfile profile;
    return profile;
}

PassProfile::PassProfile() : enabled_(std::getenv("RUVOVAV_PASS_PROFILE") != nullptr) {}

PassProfile::~PassProfile() {
    if (enabled_ && !totals_.empty()) std::fputs(table().c_str(), stderr);
}

void PassProfile::nameProgram(GLuint program, const std::string& name) {
    if (!enabled_) return;
    const std::lock_guard lock(mutex_);
    names_[program] = name;
}

std::string PassProfile::currentProgramName() const {
    GLint current = 0;
    glGetIntegerv(GL_CURRENT_PROGRAM, &current);
    const std::lock_guard lock(mutex_);
    const auto found = names_.find(GLuint(current));
    return found != names_.end() ? found->second : "program " + std::to_string(current);
}

void PassProfile::draw(GLenum mode, GLsizei count) {
    if (!enabled_) {
        glDrawArrays(mode, 0, count);
        return;
    }
    const std::string name = currentProgramName();
    const DrawCost cost = timedDraw(mode, count);
    const std::lock_guard lock(mutex_);
    Totals& t = totals_[name];
    ++t.draws;
    t.fragments += cost.fragments;
    t.milliseconds += cost.milliseconds;
    if (cost.fragments >= kLargeDraw) {
        ++t.largeDraws;
        t.largeFragments += cost.fragments;
        t.largeMilliseconds += cost.milliseconds;
    }
}

std::map<std::string, PassProfile::Totals> PassProfile::totals() const {
    const std::lock_guard lock(mutex_);
    return totals_;
}

void PassProfile::clear() {
    const std::lock_guard lock(mutex_);
    totals_.clear();
}

std::string PassProfile::table() const {
    const std::map<std::string, Totals> all = totals();
    std::vector<std::pair<std::string, Totals>> rows(all.begin(), all.end());
    std::sort(rows.begin(), rows.end(), [](const auto& a, const auto& b) {
        return a.second.milliseconds > b.second.milliseconds;
    });
    Totals sum;
    for (const auto& [name, t] : rows) {
        sum.draws += t.draws;
        sum.fragments += t.fragments;
        sum.milliseconds += t.milliseconds;
        sum.largeDraws += t.largeDraws;
        sum.largeFragments += t.largeFragments;
        sum.largeMilliseconds += t.largeMilliseconds;
    }
    std::string text = "pass profile (every draw timed alone; large: at least 2^18 fragments)\n";
    text +=
        "program                        draws  fragments(M)     ms  share  ns/frag   large  "
        "ns/frag\n";
    for (const auto& [name, t] : rows) {
        appendRow(text, name, t,
                  sum.milliseconds > 0 ? 100.0 * t.milliseconds / sum.milliseconds : 0.0);
    }
    appendRow(text, "total", sum, 100.0);
    return text;
}

}  // namespace Plugin::gl
