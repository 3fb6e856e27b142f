#include "gl/name_index.h"

#include <algorithm>
#include <cstring>

namespace Plugin::gl {

bool nameBefore(const std::string& a, const std::string& b) noexcept {
    const size_t common = std::min(a.size(), b.size());
    const int order = common == 0 ? 0 : std::memcmp(a.data(), b.data(), common);
    return order != 0 ? order < 0 : a.size() < b.size();
}

void insertName(NameIndex& names, const std::string& name, int32_t index) {
    auto after = std::upper_bound(names.begin(), names.end(), name,
                                  [](const std::string& key, const ProgramName& entry) {
                                      return nameBefore(key, entry.name);
                                  });
    names.insert(after, ProgramName{name, index});
}

int32_t findName(const NameIndex& names, const std::string& name) noexcept {
    auto first = std::lower_bound(names.begin(), names.end(), name,
                                  [](const ProgramName& entry, const std::string& key) {
                                      return nameBefore(entry.name, key);
                                  });
    if (first == names.end() || first->name != name) {
        return -1;
    }
    return first->index;
}

}  // namespace Plugin::gl
