// What of a source video file travels beside the denoised video: its sound and subtitles,
// copied or re-encoded as the output container needs, and the metadata of the file and of
// its video stream.
//
// Times are on the source's clock in microseconds (AV_TIME_BASE). The writer sets the origin,
// the source time that output time 0 stands for, and asks for the packets up to each frame
// it writes, so that sound and pictures interleave in the file.
#pragma once

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "audio_plan.h"
#include "audio_transcoder.h"
#include "av_handles.h"

namespace ruvovav::media {

struct SourceStreamOptions {
    bool audio = true;
    std::string audioLeftOut;  // with audio false: why, told once per stream; empty: silently
    std::function<void(const std::string&)> notice;  // a line per stream not simply copied
};

class SourceStreams {
public:
    // Opens `source` and plans its streams for `muxer`. Throws MediaError.
    SourceStreams(const std::filesystem::path& source, const AVOutputFormat& muxer,
                  const SourceStreamOptions& options);
    ~SourceStreams();
    SourceStreams(const SourceStreams&) = delete;
    SourceStreams& operator=(const SourceStreams&) = delete;

    // Before the output's header: the file's tags onto `output`, the video stream's onto
    // `video`, and an output stream for each stream that comes along.
    void addTo(AVFormatContext& output, AVStream& video);

    // The earliest time of any stream of the source; 0 when it has none.
    int64_t fileStart() const;
    void setOrigin(int64_t micros) { origin_ = micros; }
    // Writes every packet that starts before `micros`; packets before the origin are left out.
    void writeUntil(int64_t micros);
    // Writes what starts before `micros` (everything when INT64_MAX) and what the encoders
    // still hold.
    void finish(int64_t micros);

private:
    struct Route {
        StreamPlan plan;
        AVStream* output = nullptr;
        std::unique_ptr<AudioTranscoder> transcoder;
    };
    void route(const std::vector<StreamPlan>& plans);
    bool readPending();
    int64_t pendingTime() const;
    void send(AVPacket& packet);
    void write(AVPacket& packet, AVRational timeBase, const Route& route);

    void noteLostRotation(const AVOutputFormat& muxer) const;

    std::filesystem::path path_;
    std::function<void(const std::string&)> notice_;
    InputContext input_;
    std::vector<Route> routes_;
    std::vector<int> routeOf_;  // source stream index -> index into routes_, or -1
    AVFormatContext* output_ = nullptr;
    int videoStream_ = -1;
    int64_t origin_ = 0;
    PacketPtr pending_ = allocPacket();
    bool hasPending_ = false;
    bool ended_ = false;
};

}  // namespace ruvovav::media
