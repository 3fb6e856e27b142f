#include "editor_core/notices.h"

#include <cstdio>

namespace ruvovav::editor {

void Notices::say(const std::string& topic, const std::string& line) {
    const std::lock_guard lock(mutex_);
    if (!topics_.insert(topic).second) return;
    std::fprintf(stderr, "ruvovav: %s\n", line.c_str());
}

}  // namespace ruvovav::editor
