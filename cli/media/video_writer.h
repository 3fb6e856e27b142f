// Encoding pictures into a video file via libavcodec and libavformat, with the source's sound,
// subtitles and metadata alongside.
#pragma once

#include <filesystem>
#include <memory>

#include "av_handles.h"
#include "frame_converter.h"
#include "media_writer.h"
#include "output_format.h"
#include "source_streams.h"
#include "temp_file.h"

namespace ruvovav::media {

// Frames keep their source times where the container holds them (variable rates included)
// and follow the nominal rate otherwise. The file is written under a temporary name and
// renamed by finish().
class VideoWriter final : public MediaWriter {
public:
    VideoWriter(std::filesystem::path output, const VideoInfo& source, const VideoTarget& target,
                const WriterOptions& options);
    ~VideoWriter() override;

    void write(const Picture& picture) override;
    void finish() override;
    void abandon() override;

private:
    void openEncoder(const VideoTarget& target);
    void openFile();
    void encode(const Picture& picture);
    int64_t ptsOf(const Picture& picture);
    void chooseOrigin(const Picture& first);
    int64_t soundEnd() const;
    void drain();
    void complete();
    [[noreturn]] void fail(const std::string& what, int code);

    std::filesystem::path output_;
    VideoInfo source_;
    WriterOptions options_;
    bool useTimes_ = false;  // frames carry their source times into the file
    OutputContext format_;
    CodecContext encoder_;
    AVStream* stream_ = nullptr;
    FramePtr frame_ = allocFrame();
    PacketPtr packet_ = allocPacket();
    std::unique_ptr<PictureToFrame> converter_;
    std::unique_ptr<SourceStreams> sources_;
    std::unique_ptr<TempFile> temp_;
    int64_t written_ = 0;
    int64_t lastPts_ = 0;       // in the encoder's time base
    int64_t origin_ = 0;        // source time (microseconds) of output time 0
    int64_t lastMicros_ = 0;    // source time of the last frame written
    int64_t lastDuration_ = 0;  // microseconds from the frame before it
    bool closed_ = false;       // finished or abandoned
};

}  // namespace ruvovav::media
