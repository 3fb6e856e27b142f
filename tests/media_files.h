// What the media tests share: a temporary folder per test, the independent ffmpeg and ffprobe
// tools to make inputs and to look at outputs, and a child process for failures that must
// not touch the test process itself (a full disk, lost permissions).
#pragma once

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace media_files {

namespace fs = std::filesystem;

class TempFolder {
public:
    TempFolder() {
        std::random_device random;
        path_ = fs::temp_directory_path() / ("ruvovav_files_" + std::to_string(random()));
        fs::create_directories(path_);
    }
    // A test may have locked folders inside; they must not keep their files from going.
    ~TempFolder() {
        std::error_code ignored;
        fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, ignored);
        for (const auto& entry : fs::recursive_directory_iterator(path_, ignored))
            if (entry.is_directory())
                fs::permissions(entry.path(), fs::perms::owner_all, fs::perm_options::add, ignored);
        fs::remove_all(path_, ignored);
    }
    fs::path operator/(const std::string& name) const { return path_ / name; }
    const fs::path& path() const { return path_; }
    // Every name in the folder, hidden ones included, sorted.
    std::vector<std::string> names() const {
        std::vector<std::string> all;
        for (const auto& entry : fs::directory_iterator(path_))
            all.push_back(entry.path().filename().string());
        std::sort(all.begin(), all.end());
        return all;
    }

private:
    fs::path path_;
};

// Runs the ffmpeg command-line tool; its absence is a failure, never a silent skip.
inline bool ffmpeg(const std::string& arguments) {
    if (std::system("ffmpeg -version > /dev/null 2>&1") != 0) {
        ADD_FAILURE() << "these tests need the ffmpeg command-line tool (Debian package ffmpeg)";
        return false;
    }
    const std::string command = "ffmpeg -v error -nostdin -y " + arguments;
    const int status = std::system(command.c_str());
    if (status != 0) ADD_FAILURE() << "failed: " << command;
    return status == 0;
}

// What a shell command prints, trailing newlines removed.
inline std::string output(const std::string& command) {
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
    std::string text;
    if (!pipe) return text;
    std::array<char, 4096> buffer{};
    while (size_t n = fread(buffer.data(), 1, buffer.size(), pipe.get()))
        text.append(buffer.data(), n);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
    return text;
}

// ffprobe's answer for `entries` (e.g. "stream=codec_name"), one value per line.
inline std::string probe(const fs::path& file, const std::string& entries,
                         const std::string& select = "") {
    const std::string streams = select.empty() ? "" : " -select_streams " + select;
    return output("ffprobe -v error" + streams + " -show_entries " + entries +
                  " -of default=noprint_wrappers=1:nokey=1 '" + file.string() + "'");
}

// Runs `body` in a child process and returns its exit code (1000 + signal when killed), so
// that a resource limit or a change of user stays out of the test process.
inline int inChild(const std::function<int()>& body) {
    fflush(nullptr);
    const pid_t pid = fork();
    if (pid == 0) _exit(body());
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 1000 + WTERMSIG(status);
}

}  // namespace media_files
