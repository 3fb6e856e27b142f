// Writing pictures as a numbered image sequence via OpenImageIO.
#pragma once

#include <filesystem>
#include <vector>

#include "frame_pattern.h"
#include "media_writer.h"
#include "output_format.h"

namespace ruvovav::media {

class SequenceWriter final : public MediaWriter {
public:
    // Each image is complete under its name or absent; `replace` lets it replace an existing
    // image of that name.
    SequenceWriter(FramePattern pattern, const VideoInfo& source, const SequenceTarget& target,
                   int64_t startNumber, bool replace);
    ~SequenceWriter() override;

    void write(const Picture& picture) override;
    void finish() override;
    void abandon() override;

private:
    FramePattern pattern_;
    VideoInfo source_;
    SequenceTarget target_;
    int64_t nextNumber_;
    bool replace_;
    std::vector<std::filesystem::path> written_;
    bool createdFolder_ = false;
    bool closed_ = false;
};

}  // namespace ruvovav::media
