// The one exception type of the media layer: its message is a single line meant for users.
#pragma once

#include <filesystem>
#include <stdexcept>
#include <string>

namespace ruvovav::media {

struct MediaError : std::runtime_error {
    using runtime_error::runtime_error;
};

// 'path', as every message names a file. Built by appending: GCC 12 warns falsely about
// "literal" + std::string temporaries at -O2.
inline std::string quotedPath(const std::filesystem::path& path) {
    std::string text(1, '\'');
    text += path.string();
    text += '\'';
    return text;
}

}  // namespace ruvovav::media
