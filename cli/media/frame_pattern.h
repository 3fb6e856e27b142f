// FFmpeg-style frame-number patterns in file names: "shots/%04d.png" names shots/0000.png, ...
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace ruvovav::media {

struct FramePattern {
    std::filesystem::path folder;
    std::string prefix, suffix;  // the file name around the number
    int width = 0;               // zero padding of "%04d"; 0 for "%d"

    std::filesystem::path fileFor(int64_t number) const;
    // The numbers of the existing files that match, ascending.
    std::vector<int64_t> existingNumbers() const;
};

// The pattern in the file name of `path`, or nothing when it has none. Only "%d" and "%0Nd"
// are patterns ("%%" is a literal percent sign); the number may appear once.
std::optional<FramePattern> parseFramePattern(const std::filesystem::path& path);

}  // namespace ruvovav::media
