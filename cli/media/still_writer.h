// Writing the one picture of a one-frame clip as a single image file.
#pragma once

#include <filesystem>

#include "media_writer.h"
#include "output_format.h"

namespace ruvovav::media {

class StillWriter final : public MediaWriter {
public:
    // Fails at once when the folder cannot be written. `replace` lets the image replace an
    // existing file.
    StillWriter(std::filesystem::path file, const VideoInfo& source, const SequenceTarget& target,
                bool replace);
    ~StillWriter() override;

    // Takes one picture; a second one throws MediaError.
    void write(const Picture& picture) override;
    void finish() override;
    void abandon() override;

private:
    std::filesystem::path file_;
    VideoInfo source_;
    SequenceTarget target_;
    bool replace_;
    bool written_ = false;
    bool closed_ = false;
};

}  // namespace ruvovav::media
