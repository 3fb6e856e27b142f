// One program as the GPU set-up registers it: its name, its vertex stage and its sources.
#pragma once

#include <string>

namespace Plugin {

enum class VertexStage { Standard, PositionOnly };

// One program as the set-up registers it.
struct ProgramSource {
    std::string name;
    VertexStage vertex;
    std::string vertexSource;
    std::string fragmentSource;
    bool onlyWhenAbsent;  // shared by every pass; a repeated set-up does not make it again
};

}  // namespace Plugin
