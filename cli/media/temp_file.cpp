#include "temp_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <random>

#include "media_error.h"

namespace ruvovav::media {
namespace {

std::string errnoText(int code) {
    return std::strerror(code);
}

std::filesystem::path folderOf(const std::filesystem::path& target) {
    return target.parent_path().empty() ? std::filesystem::path(".") : target.parent_path();
}

// ".clean.mkv.k3x9qz.part": hidden while the job runs, and unique.
std::filesystem::path candidateName(const std::filesystem::path& target, std::mt19937_64& random) {
    static constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    // Built by appending: GCC 12 warns falsely about "literal" + std::string at -O2.
    std::string name(1, '.');
    name += target.filename().string();
    name += '.';
    for (int i = 0; i < 8; ++i) name += kLetters[random() % (sizeof kLetters - 1)];
    name += ".part";
    return target.parent_path() / name;
}

// Renames without replacing an existing target; false with errno EEXIST when one exists.
bool renameNoReplace(const std::filesystem::path& from, const std::filesystem::path& to) {
    if (renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return true;
    if (errno != EINVAL && errno != ENOSYS) return false;
    // A file system without the flag: the check and the rename are then two steps.
    std::error_code ignored;
    if (std::filesystem::exists(to, ignored)) {
        errno = EEXIST;
        return false;
    }
    return std::rename(from.c_str(), to.c_str()) == 0;
}

// The data on the disk before the name changes, so that a crash cannot leave the target
// name on an empty file.
int syncFile(const std::filesystem::path& file) {
    const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return errno;
    const int result = ::fsync(fd) == 0 ? 0 : errno;
    ::close(fd);
    return result == EINVAL ? 0 : result;  // EINVAL: a file that cannot be synced (a pipe)
}

}  // namespace

TempFile::TempFile(std::filesystem::path target) : target_(std::move(target)) {
    std::mt19937_64 random(std::random_device{}());
    for (int attempt = 0; attempt < 100; ++attempt) {
        path_ = candidateName(target_, random);
        // Mode 0666 under the umask: the finished file gets the permissions any new file gets.
        const int fd = ::open(path_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) {
            ::close(fd);
            return;
        }
        if (errno != EEXIST) {
            throw MediaError("cannot write in folder " + quotedPath(folderOf(target_)) + ": " +
                             errnoText(errno));
        }
    }
    throw MediaError("cannot write in folder " + quotedPath(folderOf(target_)) +
                     ": no free temporary name");
}

TempFile::~TempFile() {
    discard();
}

void TempFile::discard() noexcept {
    if (!pending_) return;
    pending_ = false;
    ::unlink(path_.c_str());
}

void TempFile::writeAll(const void* bytes, size_t size) {
    const int fd = ::open(path_.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
    if (fd < 0) throw MediaError("cannot write " + quotedPath(target_) + ": " + errnoText(errno));
    const auto* at = static_cast<const char*>(bytes);
    int error = 0;
    while (size > 0 && error == 0) {
        const ssize_t n = ::write(fd, at, size);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) error = errno;
        if (n > 0) {
            at += n;
            size -= size_t(n);
        }
    }
    if (::close(fd) != 0 && error == 0) error = errno;
    if (error != 0)
        throw MediaError("cannot write " + quotedPath(target_) + ": " + errnoText(error));
}

void TempFile::commit(bool replace) {
    if (!pending_) throw MediaError("cannot finish " + quotedPath(target_) + ": it is gone");
    if (const int error = syncFile(path_); error != 0)
        throw MediaError("cannot write " + quotedPath(target_) + ": " + errnoText(error));
    const bool moved = replace ? std::rename(path_.c_str(), target_.c_str()) == 0
                               : renameNoReplace(path_, target_);
    if (!moved) {
        const int error = errno;
        if (error == EEXIST)
            throw MediaError(quotedPath(target_) + " appeared while it was written; kept it");
        throw MediaError("cannot write " + quotedPath(target_) + ": " + errnoText(error));
    }
    pending_ = false;
}

}  // namespace ruvovav::media
