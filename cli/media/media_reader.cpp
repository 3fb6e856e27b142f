#include "media_reader.h"

#include <algorithm>
#include <cctype>

#include "frame_pattern.h"
#include "sequence_reader.h"
#include "video_reader.h"

namespace ruvovav::media {
namespace {

// A single still of these kinds is read as a one-frame sequence by OpenImageIO; FFmpeg would
// read it too, but without OpenImageIO's handling of depth, float and alpha.
bool isStillImage(const std::filesystem::path& path) {
    std::string ext = path.extension().string();
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](unsigned char c) { return char(std::tolower(c)); });
    for (const char* still : {".png", ".tif", ".tiff", ".exr", ".dpx", ".jpg", ".jpeg"})
        if (ext == still) return true;
    return false;
}

}  // namespace

bool opensAsImages(const std::filesystem::path& input) {
    return parseFramePattern(input) || isStillImage(input);
}

MediaReader::~MediaReader() = default;

int64_t MediaReader::presentationTime(int64_t) const {
    return Picture::kNoTime;
}

std::unique_ptr<MediaReader> MediaReader::open(const std::filesystem::path& input,
                                               const ReaderOptions& options) {
    if (parseFramePattern(input)) return SequenceReader::fromPattern(input, options);
    if (isStillImage(input)) {
        if (!std::filesystem::exists(input))
            throw MediaError("cannot open '" + input.string() + "': No such file or directory");
        return std::make_unique<SequenceReader>(input.string(),
                                                std::vector<std::filesystem::path>{input}, options);
    }
    return std::make_unique<VideoReader>(input);
}

}  // namespace ruvovav::media
