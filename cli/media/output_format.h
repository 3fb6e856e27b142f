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
    bool tagColour = false;   // the container or stream records matrix and range
    bool keepsTimes = false;  // the container stores each frame's own time (variable rates)
    std::vector<std::pair<std::string, std::string>> encoderOptions;
};

enum class SampleType { UInt8, UInt16, Half, Float };

// How each image of a sequence, or a single image, is stored.
struct SequenceTarget {
    SampleType type = SampleType::UInt16;
    int bitsPerSample = 0;       // DPX packs 10 and 12 bits into UInt16; 0: the type's size
    bool premultiplied = false;  // OpenEXR convention
    bool keepsAlpha = true;      // JPEG has no alpha
};

struct OutputChoice {
    bool isSequence = false;
    bool isStill = false;  // one image file, no frame number in its name
    VideoTarget video;
    SequenceTarget sequence;  // for sequences and single images
};

// Throws MediaError for unknown extensions, unknown codecs, codecs the container cannot hold,
// sizes the codec cannot encode, and a single image name for more than one frame.
OutputChoice chooseOutput(const std::filesystem::path& output, const VideoInfo& source,
                          const WriterOptions& options);

}  // namespace ruvovav::media
