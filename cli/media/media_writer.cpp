#include "media_writer.h"

#include "frame_pattern.h"
#include "output_format.h"
#include "sequence_writer.h"
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
                                                options.startNumber);
    requireFolder(output);
    return std::make_unique<VideoWriter>(output, source, choice.video);
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
           "        %04d.png, %04d.tif, %04d.dpx  16-bit images;  %04d.exr  half-float images\n";
}

void writeStill(const std::filesystem::path& file, const Picture& picture, bool overwrite) {
    if (!overwrite && std::filesystem::exists(file))
        throw MediaError(quotedPath(file) + " exists (use -y to overwrite)");
    // Written as the only image of a one-frame sequence beside the target, then renamed, so
    // a failure leaves neither a half image nor the temporary name.
    std::string stem = file.stem().string();
    for (size_t at = stem.find('%'); at != std::string::npos; at = stem.find('%', at + 2))
        stem.insert(at, 1, '%');
    const std::filesystem::path pattern =
        file.parent_path() / (stem + ".still%d" + file.extension().string());
    VideoInfo one;
    one.width = picture.width;
    one.height = picture.height;
    one.frameCount = 1;
    one.bitDepth = 16;
    std::unique_ptr<MediaWriter> writer = MediaWriter::create(pattern, one, {.overwrite = true});
    writer->write(picture);
    writer->finish();
    const std::filesystem::path written =
        file.parent_path() / (file.stem().string() + ".still0" + file.extension().string());
    std::error_code error;
    std::filesystem::rename(written, file, error);
    if (error) {
        std::filesystem::remove(written, error);
        throw MediaError("cannot write " + quotedPath(file));
    }
}

}  // namespace ruvovav::media
