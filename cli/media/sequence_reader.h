// Frames of an image sequence (PNG, TIFF, DPX, EXR, ...) via OpenImageIO.
#pragma once

#include <filesystem>
#include <vector>

#include "media_reader.h"

namespace ruvovav::media {

class SequenceReader final : public MediaReader {
public:
    // `files` are the frames in order; the first one describes the sequence.
    SequenceReader(std::string name, std::vector<std::filesystem::path> files,
                   const ReaderOptions& options);

    // "shots/%04d.png": the frames from the lowest existing number up to the first gap.
    static std::unique_ptr<SequenceReader> fromPattern(const std::filesystem::path& pattern,
                                                       const ReaderOptions& options);

    const VideoInfo& info() const override { return info_; }
    bool read(int64_t frameIndex, Picture& out) override;

private:
    void describe(const std::filesystem::path& first);

    std::string name_;
    std::vector<std::filesystem::path> files_;
    VideoInfo info_;
};

}  // namespace ruvovav::media
