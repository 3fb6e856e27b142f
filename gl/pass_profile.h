// Where a render's GL time goes, program by program: a developer's tool, off by default.
//
// With RUVOVAV_PASS_PROFILE set in the environment (to anything), every draw is timed and its
// fragments counted, under the name of the program in use, and the table is printed to
// stderr when the process ends (or the module is unloaded). A timed draw waits for the GL
// before and after it (glFinish), so each draw's time is its own; a profiled render runs
// slower than a plain one, by the waits. Draws of at least kLargeDraw fragments are also
// summed apart: their time per fragment is what the program's arithmetic costs, without the
// fixed cost of a draw. Under a caller's own GL_SAMPLES_PASSED query (queries of one target
// cannot nest) draws are timed but their fragments not counted.
//
// Thread-safety: the table is shared by every instance and guarded by a mutex; each draw is
// timed on the thread whose context it runs in. Programs are named by their GL ids, which two
// contexts may give to different programs: profile one effect instance at a time.
#pragma once

#include <GL/glew.h>

#include <cstdint>
#include <map>
#include <mutex>
#include <string>

namespace Plugin::gl {

class PassProfile {
public:
    static constexpr uint64_t kLargeDraw = 1u << 18;

    struct Totals {
        int draws = 0;
        uint64_t fragments = 0;
        double milliseconds = 0;
        int largeDraws = 0;
        uint64_t largeFragments = 0;
        double largeMilliseconds = 0;
    };

    // The process-wide profile, enabled when the environment asks for it.
    static PassProfile& instance();
    ~PassProfile();
    PassProfile(const PassProfile&) = delete;
    PassProfile& operator=(const PassProfile&) = delete;

    bool enabled() const { return enabled_; }
    void setEnabled(bool enabled) { enabled_ = enabled; }

    // Names `program` for the table; called where programs are made current.
    void nameProgram(GLuint program, const std::string& name);
    // glDrawArrays(mode, 0, count), timed and counted when enabled.
    // GL: when enabled, finishes the GL before and after; no query stays active.
    void draw(GLenum mode, GLsizei count);

    std::map<std::string, Totals> totals() const;
    void clear();
    // The table as printed: one row per program, the busiest first.
    std::string table() const;

private:
    PassProfile();
    std::string currentProgramName() const;

    bool enabled_ = false;
    mutable std::mutex mutex_;
    std::map<GLuint, std::string> names_;
    std::map<std::string, Totals> totals_;
};

}  // namespace Plugin::gl
