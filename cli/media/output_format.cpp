#include "output_format.h"

#include <algorithm>
#include <cctype>

extern "C" {
#include <libavformat/avformat.h>
#include <libavutil/pixdesc.h>
}

#include "frame_pattern.h"

namespace ruvovav::media {
namespace {

// clang-format off
// Defaults by extension (pixel format for an 8-bit source / a deeper or float one):
//   .mkv, .avi  Matroska, AVI  FFV1, lossless          bgr0|bgra / gbrp16le|gbrap16le
//   .mov        QuickTime      ProRes 422 HQ           yuv422p10le; 4444 yuva444p10le with alpha
//   .mp4        MP4            H.264 (libx264, crf 18) yuv420p / yuv420p10le; no alpha
//   .y4m        YUV4MPEG2      raw                     yuv444p / yuv444p16le; no alpha
//   codec "h265"/"hevc"        H.265 (libx265, crf 20) yuv420p / yuv420p10le; no alpha
//   %04d.png, %04d.tif(f), %04d.dpx  via OpenImageIO   16-bit integer RGB(A)
//   %04d.exr                         via OpenImageIO   half float RGB(A); 32-bit float sources stay float
//   %04d.jpg                         via OpenImageIO   8-bit RGB
//   a single image (no pattern)      as above, but at the source's depth where the type holds it
// clang-format on
// FFV1 stores RGB because pictures are RGB: no matrix, so the round trip is exact. YUV targets
// use BT.709 limited range and tag it, except Y4M, which cannot tag and so uses the BT.601 that
// readers assume.

std::string lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return char(std::tolower(c)); });
    return text;
}

bool deep(const VideoInfo& source) {
    return source.bitDepth > 8 || source.isFloat;
}

VideoTarget ffv1(const VideoInfo& source) {
    VideoTarget t{.encoder = "ffv1"};
    if (deep(source))
        t.pixelFormat = source.hasAlpha ? AV_PIX_FMT_GBRAP16LE : AV_PIX_FMT_GBRP16LE;
    else
        t.pixelFormat = source.hasAlpha ? AV_PIX_FMT_BGRA : AV_PIX_FMT_BGR0;
    // Version 3 adds per-slice CRCs (damage is detected) and slice threading.
    t.encoderOptions = {{"level", "3"}, {"slicecrc", "1"}};
    return t;
}

VideoTarget prores(const VideoInfo& source) {
    VideoTarget t{.encoder = "prores_ks", .tagColour = true};
    t.pixelFormat = source.hasAlpha ? AV_PIX_FMT_YUVA444P10LE : AV_PIX_FMT_YUV422P10LE;
    t.encoderOptions = {{"profile", source.hasAlpha ? "4444" : "hq"}};
    return t;
}

VideoTarget x26x(const VideoInfo& source, const WriterOptions& options, bool hevc) {
    VideoTarget t{.encoder = hevc ? "libx265" : "libx264", .tagColour = true};
    t.pixelFormat = deep(source) ? AV_PIX_FMT_YUV420P10LE : AV_PIX_FMT_YUV420P;
    const int crf = options.crf >= 0 ? options.crf : (hevc ? 20 : 18);
    t.encoderOptions = {{"crf", std::to_string(crf)}};
    if (hevc) t.encoderOptions.push_back({"x265-params", "log-level=error"});
    return t;
}

VideoTarget raw(const VideoInfo& source) {
    // The YUV4MPEG2 muxer takes uncompressed frames as they are ("wrapped"), and has no alpha.
    VideoTarget t{.encoder = "wrapped_avframe", .coding = {AVCOL_SPC_SMPTE170M, false}};
    t.pixelFormat = deep(source) ? AV_PIX_FMT_YUV444P16LE : AV_PIX_FMT_YUV444P;
    return t;
}

VideoTarget byCodec(const std::string& codec, const VideoInfo& source,
                    const WriterOptions& options) {
    if (codec == "ffv1") return ffv1(source);
    if (codec == "prores" || codec == "prores_ks") return prores(source);
    if (codec == "h264" || codec == "avc" || codec == "libx264")
        return x26x(source, options, false);
    if (codec == "h265" || codec == "hevc" || codec == "libx265")
        return x26x(source, options, true);
    if (codec == "raw" || codec == "rawvideo") return raw(source);
    throw MediaError("unknown codec '" + codec + "' (known: ffv1, prores, h264, h265, raw)");
}

struct Container {
    const char* extension;
    const char* muxer;
    const char* defaultCodec;
    bool keepsTimes;  // AVI and Y4M know one frame rate only
};
constexpr Container kContainers[] = {{".mkv", "matroska", "ffv1", true},
                                     {".avi", "avi", "ffv1", false},
                                     {".mov", "mov", "prores", true},
                                     {".mp4", "mp4", "h264", true},
                                     {".y4m", "yuv4mpegpipe", "raw", false}};

void checkEncodable(const std::filesystem::path& output, const VideoTarget& target,
                    const VideoInfo& source) {
    const AVOutputFormat* muxer = av_guess_format(target.muxer.c_str(), nullptr, nullptr);
    const AVCodec* encoder = avcodec_find_encoder_by_name(target.encoder.c_str());
    if (!muxer || !encoder)
        throw MediaError("this FFmpeg build cannot write " + target.encoder + " in " +
                         target.muxer);
    if (avformat_query_codec(muxer, encoder->id, FF_COMPLIANCE_NORMAL) == 0)
        throw MediaError(quotedPath(output) + ": " + target.muxer + " cannot hold " +
                         avcodec_get_name(encoder->id));
    const AVPixFmtDescriptor* desc = av_pix_fmt_desc_get(target.pixelFormat);
    const int xAlign = 1 << desc->log2_chroma_w, yAlign = 1 << desc->log2_chroma_h;
    if (source.width % xAlign || source.height % yAlign)
        throw MediaError(quotedPath(output) + ": " + avcodec_get_name(encoder->id) + " in " +
                         desc->name + " needs a width divisible by " + std::to_string(xAlign) +
                         " and a height divisible by " + std::to_string(yAlign) + ", not " +
                         std::to_string(source.width) + "x" + std::to_string(source.height));
}

bool isImageType(const std::string& ext) {
    for (const char* image : {".png", ".tif", ".tiff", ".dpx", ".exr", ".jpg", ".jpeg"})
        if (ext == image) return true;
    return false;
}

SequenceTarget exrTarget(const VideoInfo& source) {
    const bool single = source.isFloat && source.bitDepth > 16;
    return {.type = single ? SampleType::Float : SampleType::Half, .premultiplied = true};
}

// Images of a sequence: 16-bit integers, half floats in OpenEXR, 8 bits in JPEG.
SequenceTarget imageTarget(const std::filesystem::path& output, const VideoInfo& source) {
    const std::string ext = lower(output.extension().string());
    if (ext == ".exr") return exrTarget(source);
    if (ext == ".jpg" || ext == ".jpeg") return {.type = SampleType::UInt8, .keepsAlpha = false};
    if (isImageType(ext)) return {};
    throw MediaError("cannot write images of type '" + ext + "' (" + output.string() +
                     "); use .png, .tif, .dpx, .exr or .jpg");
}

// A single image keeps the source's depth where the type can hold it.
SequenceTarget stillTarget(const std::filesystem::path& output, const VideoInfo& source) {
    SequenceTarget t = imageTarget(output, source);
    const std::string ext = lower(output.extension().string());
    const bool eight = !source.isFloat && source.bitDepth <= 8;
    if (ext == ".png") t.type = eight ? SampleType::UInt8 : SampleType::UInt16;
    if (ext == ".tif" || ext == ".tiff") {
        if (source.isFloat)
            t.type = source.bitDepth > 16 ? SampleType::Float : SampleType::Half;
        else
            t.type = eight ? SampleType::UInt8 : SampleType::UInt16;
    }
    if (ext == ".dpx") {
        t.type = eight ? SampleType::UInt8 : SampleType::UInt16;
        if (!source.isFloat && (source.bitDepth == 10 || source.bitDepth == 12))
            t.bitsPerSample = source.bitDepth;
    }
    return t;
}

OutputChoice stillChoice(const std::filesystem::path& output, const VideoInfo& source) {
    if (source.frameCount > 1) {
        const std::filesystem::path example =
            output.parent_path() / (output.stem().string() + "_%04d" + output.extension().string());
        throw MediaError(quotedPath(output) + " names a single image, but " +
                         std::to_string(source.frameCount) +
                         " frames would go into it; name an image sequence such as " +
                         quotedPath(example) + ", or render one frame");
    }
    return {.isStill = true, .sequence = stillTarget(output, source)};
}

}  // namespace

OutputChoice chooseOutput(const std::filesystem::path& output, const VideoInfo& source,
                          const WriterOptions& options) {
    if (source.width <= 0 || source.height <= 0 || source.width > kMaxFrameSide ||
        source.height > kMaxFrameSide)
        throw MediaError("cannot write frames of size " + std::to_string(source.width) + "x" +
                         std::to_string(source.height));
    if (source.rateNum <= 0 || source.rateDen <= 0)
        throw MediaError("cannot write a frame rate of " + std::to_string(source.rateNum) + "/" +
                         std::to_string(source.rateDen));
    if (parseFramePattern(output))
        return {.isSequence = true, .sequence = imageTarget(output, source)};
    const std::string ext = lower(output.extension().string());
    for (const Container& c : kContainers) {
        if (ext != c.extension) continue;
        OutputChoice choice;
        choice.video =
            byCodec(options.codec.empty() ? c.defaultCodec : lower(options.codec), source, options);
        choice.video.muxer = c.muxer;
        choice.video.keepsTimes = c.keepsTimes;
        checkEncodable(output, choice.video, source);
        return choice;
    }
    if (isImageType(ext)) return stillChoice(output, source);
    throw MediaError("unknown output type '" + ext + "' for " + quotedPath(output) +
                     "; use .mkv, .mov, .mp4, .avi, .y4m, an image such as .png, or an image "
                     "sequence such as %04d.png");
}

}  // namespace ruvovav::media
