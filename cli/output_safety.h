// The input is never written to. Outputs are compared with every file a job reads by the
// file system's identity (device and inode), not by their names, so another relative path,
// a symlink or a hard link to an input is caught as well as the same name. Checked before
// anything is decoded.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace ruvovav::cli {

// The existing files a path names: the file itself, or every file of its frame-number
// pattern ("shots/%04d.png").
std::vector<std::filesystem::path> filesNamedBy(const std::filesystem::path& path);

// Throws UsageError when `output` (a file or a frame-number pattern) is, or would write over,
// one of the files `inputs` name. `what` names the option, e.g. "the output".
void refuseOverlap(const std::vector<std::filesystem::path>& inputs,
                   const std::filesystem::path& output, const std::string& what);

}  // namespace ruvovav::cli
