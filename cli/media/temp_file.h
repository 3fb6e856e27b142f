// A file written under a temporary name beside its target and renamed onto it only when it
// is complete, so that the target name never holds half a file.
#pragma once

#include <cstddef>
#include <filesystem>

namespace ruvovav::media {

class TempFile {
public:
    // Creates an empty file with a hidden, unique name in the target's folder. Throws
    // MediaError naming the folder and why it cannot be written.
    explicit TempFile(std::filesystem::path target);
    // Removes the file unless it was committed.
    ~TempFile();
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;

    const std::filesystem::path& path() const { return path_; }
    const std::filesystem::path& target() const { return target_; }

    // Writes `bytes` as the whole file. Throws MediaError naming the target and the reason
    // (a full disk, a size limit).
    void writeAll(const void* bytes, size_t size);
    // Flushes the file to the disk and renames it onto the target. Without `replace`, a
    // target that appeared meanwhile is kept and MediaError thrown. Throws MediaError.
    void commit(bool replace);
    // Removes the file now.
    void discard() noexcept;

private:
    std::filesystem::path target_;
    std::filesystem::path path_;
    bool pending_ = true;  // the file is ours to remove
};

}  // namespace ruvovav::media
