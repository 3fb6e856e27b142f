// Which programs the GPU set-up builds, under which names, from which sources, in which
// order. Registration order is index order in the registry, so a program's place here is
// its index.
#pragma once

#include <vector>

#include "gl/program_source.h"

namespace Plugin {

// Every program in registration order, with its sources (wavelet programs generated).
std::vector<ProgramSource> programTable();

}  // namespace Plugin
