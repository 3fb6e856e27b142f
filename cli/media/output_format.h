// Which muxer, encoder and pixel format (or which image type) an output path gets.
#pragma once

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "frame_converter.h"
#include "media_writer.h"

namespace ruvovav::media {

struct VideoTarget {
    std::string muxer;    // libavformat name: "matroska", "mov", ...
    std::string encoder;  // libavcodec name: "ffv1", "prores_ks", ...
    AVPixelFormat pixelFormat = AV_PIX_FMT_NONE;
    YuvCoding coding;
    bool tagColour = false;  // the container or stream records matrix and range
    std::vector<std::pair<std::string, std::string>> encoderOptions;
};

enum class SampleType { UInt16, Half, Float };

struct SequenceTarget {
    SampleType type = SampleType::UInt16;
    bool premultiplied = false;  // OpenEXR convention
};

struct OutputChoice {
    bool isSequence = false;
    VideoTarget video;
    SequenceTarget sequence;
};

// Throws MediaError for unknown extensions, unknown codecs, codecs the container cannot hold,
// and sizes the codec cannot encode.
OutputChoice chooseOutput(const std::filesystem::path& output, const VideoInfo& source,
                          const WriterOptions& options);

}  // namespace ruvovav::media
