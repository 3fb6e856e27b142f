// Sound of one source stream decoded and encoded again, for a container that does not take
// the source's codec.
#pragma once

#include <functional>
#include <memory>

extern "C" {
#include <libavutil/audio_fifo.h>
#include <libswresample/swresample.h>
}

#include "audio_plan.h"
#include "av_handles.h"

namespace ruvovav::media {

class AudioTranscoder {
public:
    // Gets every encoded packet, timed in timeBase() on the source's clock.
    using Sink = std::function<void(AVPacket&)>;

    // Opens the source stream's decoder and plan.encoder at the source's rate and channels
    // where the encoder takes them. Throws MediaError.
    AudioTranscoder(const AVStream& source, const StreamPlan& plan, bool globalHeader);
    ~AudioTranscoder();
    AudioTranscoder(const AudioTranscoder&) = delete;
    AudioTranscoder& operator=(const AudioTranscoder&) = delete;

    const AVCodecContext& encoder() const { return *encoder_; }
    AVRational timeBase() const { return encoder_->time_base; }

    // One packet of the source stream in; whatever the encoder has ready out.
    void send(const AVPacket& packet, const Sink& sink);
    // Everything still held: the decoder's, the resampler's and the encoder's delay.
    void flush(const Sink& sink);

private:
    void openDecoder(const AVStream& source);
    void openEncoder(const StreamPlan& plan, bool globalHeader);
    void receiveDecoded(const Sink& sink);
    void resample(const AVFrame* decoded);
    void encodeQueued(bool final, const Sink& sink);
    void receiveEncoded(const Sink& sink);

    AVRational sourceTimeBase_;
    CodecContext decoder_;
    CodecContext encoder_;
    struct SwrDeleter {
        void operator()(SwrContext* c) const { swr_free(&c); }
    };
    struct FifoDeleter {
        void operator()(AVAudioFifo* f) const { av_audio_fifo_free(f); }
    };
    std::unique_ptr<SwrContext, SwrDeleter> resampler_;
    std::unique_ptr<AVAudioFifo, FifoDeleter> queue_;
    FramePtr decoded_ = allocFrame();
    PacketPtr encoded_ = allocPacket();
    int64_t nextPts_ = AV_NOPTS_VALUE;  // of the next sample to encode, in timeBase()
};

}  // namespace ruvovav::media
