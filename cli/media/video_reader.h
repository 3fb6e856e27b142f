// Frames of a video file (MP4, MOV, MKV, AVI, Y4M, ...) via libavformat and libavcodec.
#pragma once

#include <filesystem>
#include <unordered_map>
#include <vector>

#include "av_handles.h"
#include "frame_converter.h"
#include "media_reader.h"

namespace ruvovav::media {

// Frame N is the N-th frame in presentation order. Forward reads decode on; other jumps seek to
// a keyframe before the frame's time and decode forward to it, and fall back to decoding from the
// start when the timestamps cannot be trusted.
class VideoReader final : public MediaReader {
public:
    explicit VideoReader(std::filesystem::path path);

    const VideoInfo& info() const override { return info_; }
    bool read(int64_t frameIndex, Picture& out) override;
    int64_t presentationTime(int64_t frameIndex) const override;

private:
    void openFromStart();
    void describe();
    int64_t countPackets() const;
    bool readPacket();
    bool receiveFrame();
    bool decodeNext();
    void reposition(int64_t index);
    bool seekAndFind(int64_t index, int64_t time, int64_t seekTime);
    int64_t timeOf(int64_t index) const;
    int64_t frameTime() const;
    bool decoderConcealed() const;  // the frame in frame_ was damaged
    int64_t frameDuration() const;
    [[noreturn]] void fail(const std::string& what, int code) const;

    std::filesystem::path path_;
    VideoInfo info_;
    InputContext format_;
    CodecContext decoder_;
    int stream_ = -1;
    AVRational timeBase_{1, 1};
    FramePtr frame_ = allocFrame();
    PacketPtr packet_ = allocPacket();
    bool demuxEnded_ = false;
    int64_t nextIndex_ = 0;       // index of the next frame the decoder will give
    bool holdsFrame_ = false;     // frame_ is frame nextIndex_ - 1
    std::vector<int64_t> times_;  // presentation time of frames 0, 1, ... as decoded
    bool steadyRate_ = true;      // every time so far matched its index at the nominal rate
    std::unordered_map<int64_t, int64_t> readTimes_;  // of every frame handed out
    FrameToPicture converter_;
};

}  // namespace ruvovav::media
