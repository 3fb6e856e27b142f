// One-line messages to standard error, one per topic: a filter runs frame after frame, and
// a problem that lasts must not fill the editor's log.
#pragma once

#include <mutex>
#include <set>
#include <string>

namespace ruvovav::editor {

class Notices {
public:
    // Writes "ruvovav: <line>" unless a line of this topic was written already.
    void say(const std::string& topic, const std::string& line);

private:
    std::mutex mutex_;
    std::set<std::string> topics_;
};

}  // namespace ruvovav::editor
