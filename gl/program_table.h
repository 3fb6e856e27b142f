// Which programs the GPU set-up builds, under which names, from which sources, in which
// order. Registration order is index order in the registry, so a program's place here is
// its index.
#pragma once

#include <string>
#include <vector>

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

// Every program in registration order, with its sources (wavelet programs generated).
std::vector<ProgramSource> programTable();

}  // namespace Plugin
