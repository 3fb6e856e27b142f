#include "media_writer.h"

#include "frame_pattern.h"
#include "image_file.h"
#include "output_format.h"
#include "sequence_writer.h"
#include "still_writer.h"
#include "video_writer.h"

namespace ruvovav::media {
namespace {

// A sequence refuses only the images it would write: numbers first .. first + count - 1,
// so that chunks of one render can land side by side in one folder.
void refuseExisting(const std::filesystem::path& output, bool isSequence, int64_t first,
                    int64_t count) {
    if (isSequence) {
        const auto pattern = parseFramePattern(output);
        for (const int64_t number : pattern->existingNumbers()) {
            if (number >= first && number < first + count)
                throw MediaError(quotedPath(pattern->fileFor(number)) +
                                 " exists (use -y to overwrite)");
        }
    } else if (std::filesystem::exists(output)) {
        throw MediaError(quotedPath(output) + " exists (use -y to overwrite)");
    }
}

void requireFolder(const std::filesystem::path& output) {
    const auto folder = output.parent_path();
    if (!folder.empty() && !std::filesystem::is_directory(folder))
        throw MediaError("cannot create " + quotedPath(output) + ": folder " + quotedPath(folder) +
                         " does not exist");
}

}  // namespace

MediaWriter::~MediaWriter() = default;

std::unique_ptr<MediaWriter> MediaWriter::create(const std::filesystem::path& output,
                                                 const VideoInfo& source,
                                                 const WriterOptions& options) {
    const OutputChoice choice = chooseOutput(output, source, options);
    if (!options.overwrite)
        refuseExisting(output, choice.isSequence, options.startNumber, source.frameCount);
    if (choice.isSequence)
        return std::make_unique<SequenceWriter>(*parseFramePattern(output), source, choice.sequence,
                                                options.startNumber, options.overwrite);
    requireFolder(output);
    if (choice.isStill)
        return std::make_unique<StillWriter>(output, source, choice.sequence, options.overwrite);
    return std::make_unique<VideoWriter>(output, source, choice.video, options);
}

std::string describeFormats() {
    return "Reads:  video files (MP4, MOV, MKV, AVI, Y4M, ...) in H.264, H.265, ProRes, DNxHD,\n"
           "        FFV1 and what else FFmpeg decodes; image sequences given as a pattern such as\n"
           "        shots/%04d.png (PNG, TIFF, DPX, OpenEXR, JPEG), or a single image.\n"
           "Writes: .mkv/.avi  FFV1, lossless RGB, 8 or 16 bits, alpha kept\n"
           "        .mov       ProRes 422 HQ, 10 bits (ProRes 4444 with alpha)\n"
           "        .mp4       H.264 (crf 18), 8 or 10 bits; --codec h265: H.265 (crf 20); no "
           "alpha\n"
           "        .y4m       raw YUV 4:4:4, 8 or 16 bits; no alpha\n"
           "        %04d.png, %04d.tif, %04d.dpx  16-bit images;  %04d.exr  half-float images;\n"
           "        %04d.jpg  8-bit images\n"
           "        a single image (.png, .tif, .jpg, .exr, .dpx) at the source's depth\n";
}

void writeStill(const std::filesystem::path& file, const Picture& picture, bool overwrite) {
    if (!overwrite && std::filesystem::exists(file))
        throw MediaError(quotedPath(file) + " exists (use -y to overwrite)");
    VideoInfo deep;
    deep.width = picture.width;
    deep.height = picture.height;
    deep.frameCount = 1;
    deep.bitDepth = 16;
    const OutputChoice choice = chooseOutput(file, deep, {});
    if (!choice.isStill) throw MediaError(quotedPath(file) + " is not the name of an image");
    std::error_code error;
    if (!file.parent_path().empty()) std::filesystem::create_directories(file.parent_path(), error);
    writeImageFile(file, picture, choice.sequence, false, overwrite);
}

}  // namespace ruvovav::media
