// Arbitrary bytes as an input file of the tool, opened and read as the tool would. The
// first byte picks the file name's extension (and so FFmpeg or OpenImageIO, and the format
// FFmpeg guesses first) and which frames to read; the rest is the file's content. A reader
// must throw MediaError or give pictures of the size it announced.
#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "media/media_reader.h"

namespace {

namespace fs = std::filesystem;
using namespace ruvovav::media;

constexpr const char* kExtensions[8] = {".mkv", ".mp4", ".y4m", ".avi",
                                        ".png", ".exr", ".tif", ".dpx"};
// Sizes up to kMaxFrameSide are real footage and are read; but a 16384-pixel square takes
// gigabytes as floats, which the fuzzer's memory limit would count as a finding. Headers
// that claim more than this are checked for being opened, not read.
constexpr int64_t kReadPixelBudget = int64_t(2048) * 2048;
// Far enough ahead of the frames read first that the reader seeks instead of decoding on.
constexpr int64_t kJumpFrame = 40;
void require(bool condition) {
    if (!condition) __builtin_trap();
}

void removeInputFolder();

// One folder per process, so that parallel fuzzing jobs never share a file; removed at exit.
const fs::path& inputFolder() {
    static const fs::path folder = [] {
        const fs::path f =
            fs::temp_directory_path() / ("ruvovav_media_fuzz_" + std::to_string(getpid()));
        fs::create_directories(f);
        return f;
    }();
    // Registered after `folder` is built, so that it runs before `folder` is destroyed.
    static const int registered = std::atexit(removeInputFolder);
    (void)registered;
    return folder;
}

void removeInputFolder() {
    std::error_code ignored;
    fs::remove_all(inputFolder(), ignored);
}

void readFrame(MediaReader& reader, int64_t index) {
    Picture picture;
    if (!reader.read(index, picture)) return;
    const VideoInfo& info = reader.info();
    require(picture.width == info.width && picture.height == info.height);
    require(picture.rgba.size() == size_t(picture.width) * size_t(picture.height) * 4);
}

void readSome(MediaReader& reader, uint8_t control) {
    const VideoInfo& info = reader.info();
    require(info.width > 0 && info.width <= kMaxFrameSide);
    require(info.height > 0 && info.height <= kMaxFrameSide);
    require(info.frameCount >= 0);
    if (int64_t(info.width) * info.height > kReadPixelBudget) return;
    for (int64_t i = 0; i < 3; ++i) readFrame(reader, i);
    if (control & 0x08) readFrame(reader, 0);  // back to the start: a seek
    if (control & 0x10) readFrame(reader, std::min(info.frameCount - 1, kJumpFrame));
    if (control & 0x20) readFrame(reader, info.frameCount - 1);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const uint8_t control = data[0];
    const fs::path file = inputFolder() / (std::string("input") + kExtensions[control & 7]);
    {
        std::ofstream out(file, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data + 1), std::streamsize(size - 1));
    }
    try {
        readSome(*MediaReader::open(file), control);
    } catch (const MediaError&) {
        // The one way a reader may refuse a file.
    }
    fs::remove(file);
    return 0;
}
