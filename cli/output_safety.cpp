#include "cli/output_safety.h"

#include <sys/stat.h>

#include <optional>

#include "cli/media/frame_pattern.h"
#include "cli/media/media_error.h"
#include "cli/value_parsers.h"

namespace ruvovav::cli {
namespace {

struct Identity {
    dev_t device = 0;
    ino_t inode = 0;
    bool operator==(const Identity&) const = default;
};

// Follows symlinks: a link to the input is the input.
std::optional<Identity> identityOf(const std::filesystem::path& file) {
    struct stat info {};
    if (::stat(file.c_str(), &info) != 0 || S_ISDIR(info.st_mode)) return std::nullopt;
    return Identity{info.st_dev, info.st_ino};
}

}  // namespace

std::vector<std::filesystem::path> filesNamedBy(const std::filesystem::path& path) {
    std::vector<std::filesystem::path> files;
    if (const auto pattern = media::parseFramePattern(path)) {
        for (const int64_t number : pattern->existingNumbers())
            files.push_back(pattern->fileFor(number));
    } else if (identityOf(path)) {
        files.push_back(path);
    }
    return files;
}

void refuseOverlap(const std::vector<std::filesystem::path>& inputs,
                   const std::filesystem::path& output, const std::string& what) {
    std::vector<std::pair<Identity, std::filesystem::path>> read;
    for (const std::filesystem::path& input : inputs) {
        for (const std::filesystem::path& file : filesNamedBy(input))
            if (const auto id = identityOf(file)) read.emplace_back(*id, file);
    }
    const bool pattern = media::parseFramePattern(output).has_value();
    for (const std::filesystem::path& file : filesNamedBy(output)) {
        const auto id = identityOf(file);
        for (const auto& [inputId, inputFile] : read) {
            if (!id || !(*id == inputId)) continue;
            const std::string where =
                pattern ? " includes the input " + media::quotedPath(inputFile)
                        : (file == inputFile ? " is the input"
                                             : " is the input " + media::quotedPath(inputFile) +
                                                   " under another name");
            throw UsageError(what + " " + media::quotedPath(output) + where +
                             "; the input is never written to");
        }
    }
}

}  // namespace ruvovav::cli
