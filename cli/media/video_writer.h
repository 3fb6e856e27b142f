// Encoding pictures into a video file via libavcodec and libavformat.
#pragma once

#include <filesystem>
#include <memory>

#include "av_handles.h"
#include "frame_converter.h"
#include "media_writer.h"
#include "output_format.h"

namespace ruvovav::media {

class VideoWriter final : public MediaWriter {
public:
    VideoWriter(std::filesystem::path output, const VideoInfo& source, const VideoTarget& target);
    ~VideoWriter() override;

    void write(const Picture& picture) override;
    void finish() override;
    void abandon() override;

private:
    void openEncoder(const VideoTarget& target);
    void openFile();
    void drain();
    [[noreturn]] void fail(const std::string& what, int code);

    std::filesystem::path output_;
    VideoInfo source_;
    OutputContext format_;
    CodecContext encoder_;
    AVStream* stream_ = nullptr;
    FramePtr frame_ = allocFrame();
    PacketPtr packet_ = allocPacket();
    std::unique_ptr<PictureToFrame> converter_;
    int64_t written_ = 0;
    bool fileOpened_ = false;  // the output file is ours to remove
    bool closed_ = false;      // finished or abandoned
};

}  // namespace ruvovav::media
