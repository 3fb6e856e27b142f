// The name-to-index lookup of EffectData's programs, sorted for binary search.
//
// Names are ordered byte-wise (unsigned bytes over the common length, then the shorter
// name first) so the order does not depend on the locale. Equal names are kept: each
// registration adds its own entry, after the earlier ones.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace Plugin::gl {

struct ProgramName {
    std::string name;
    int32_t index;
};

using NameIndex = std::vector<ProgramName>;

bool nameBefore(const std::string& a, const std::string& b) noexcept;

void insertName(NameIndex& names, const std::string& name, int32_t index);

// Index of the earliest registration under `name`, or -1.
int32_t findName(const NameIndex& names, const std::string& name) noexcept;

}  // namespace Plugin::gl
