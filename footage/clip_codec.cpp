#include "footage/clip_codec.h"

#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <string>

#include "cli/media/media_reader.h"
#include "cli/media/media_writer.h"

namespace ruvovav::footage {
namespace {

namespace fs = std::filesystem;

// A file name of this process's own, removed however the round trip ends.
class TemporaryFile {
public:
    TemporaryFile() {
        static std::atomic<int> counter{0};
        path_ = fs::temp_directory_path() / ("ruvovav_clip_" + std::to_string(::getpid()) + "_" +
                                             std::to_string(counter++) + ".mp4");
    }
    ~TemporaryFile() {
        std::error_code ignored;
        fs::remove(path_, ignored);
    }
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;
    const fs::path& path() const { return path_; }

private:
    fs::path path_;
};

void encode(const fs::path& path, const std::vector<media::Picture>& frames, int crf) {
    media::VideoInfo info;
    info.width = frames.front().width;
    info.height = frames.front().height;
    info.frameCount = int64_t(frames.size());
    info.bitDepth = 8;  // 8-bit 4:2:0, as delivered footage is
    auto writer =
        media::MediaWriter::create(path, info, {.codec = "h264", .crf = crf, .overwrite = true});
    for (const media::Picture& frame : frames) writer->write(frame);
    writer->finish();
}

}  // namespace

std::vector<media::Picture> h264RoundTrip(const std::vector<media::Picture>& frames, int crf) {
    if (frames.empty()) return {};
    const TemporaryFile file;
    encode(file.path(), frames, crf);
    auto reader = media::MediaReader::open(file.path());
    std::vector<media::Picture> decoded(frames.size());
    for (size_t i = 0; i < frames.size(); ++i)
        if (!reader->read(int64_t(i), decoded[i]))
            throw media::MediaError(media::quotedPath(file.path()) + ": frame " +
                                    std::to_string(i) + " did not come back from the encoder");
    return decoded;
}

}  // namespace ruvovav::footage
