#include "audio_transcoder.h"

#include <cstdlib>

#include "media_error.h"

namespace ruvovav::media {
namespace {

// Samples per frame for encoders that take any count (PCM).
constexpr int kFreeFrameSize = 4096;
// AAC's rate: generous per channel, as the sound of a master copy should be.
constexpr int64_t kAacBitsPerChannel = 128000;

[[noreturn]] void fail(const std::string& what, int code) {
    throw MediaError(what + ": " + avErrorText(code));
}

int chooseRate(const AVCodec& codec, int wanted) {
    if (!codec.supported_samplerates) return wanted;
    int best = 0;
    for (const int* rate = codec.supported_samplerates; *rate != 0; ++rate) {
        if (*rate == wanted) return wanted;
        if (best == 0 || std::abs(*rate - wanted) < std::abs(best - wanted)) best = *rate;
    }
    return best;
}

bool offers(const AVCodec& codec, const AVChannelLayout& layout) {
    for (const AVChannelLayout* l = codec.ch_layouts; l && l->nb_channels != 0; ++l)
        if (av_channel_layout_compare(l, &layout) == 0) return true;
    return false;
}

// The source's channels where the encoder takes them; else its usual layout of that many
// channels; else stereo.
void chooseLayout(const AVCodec& codec, const AVChannelLayout& source, AVChannelLayout& out) {
    AVChannelLayout wanted{};
    if (source.order == AV_CHANNEL_ORDER_UNSPEC)
        av_channel_layout_default(&wanted, source.nb_channels);
    else
        av_channel_layout_copy(&wanted, &source);
    AVChannelLayout usual{};
    av_channel_layout_default(&usual, wanted.nb_channels);
    const AVChannelLayout stereo = AV_CHANNEL_LAYOUT_STEREO;
    if (!codec.ch_layouts || offers(codec, wanted))
        av_channel_layout_copy(&out, &wanted);
    else if (offers(codec, usual))
        av_channel_layout_copy(&out, &usual);
    else
        av_channel_layout_copy(&out, &stereo);
    av_channel_layout_uninit(&wanted);
    av_channel_layout_uninit(&usual);
}

bool isFormat(AVSampleFormat format, AVSampleFormat packed) {
    return format == packed || format == av_get_planar_sample_fmt(packed);
}

AVSampleFormat chooseFormat(const AVCodec& codec, int bits) {
    if (!codec.sample_fmts) return AV_SAMPLE_FMT_FLTP;
    const AVSampleFormat wanted = bits > 16 ? AV_SAMPLE_FMT_S32 : AV_SAMPLE_FMT_S16;
    for (const AVSampleFormat* f = codec.sample_fmts; *f != AV_SAMPLE_FMT_NONE; ++f)
        if (isFormat(*f, wanted)) return *f;
    return codec.sample_fmts[0];
}

}  // namespace

AudioTranscoder::AudioTranscoder(const AVStream& source, const StreamPlan& plan, bool globalHeader)
    : sourceTimeBase_(source.time_base) {
    openDecoder(source);
    openEncoder(plan, globalHeader);
    queue_.reset(av_audio_fifo_alloc(encoder_->sample_fmt, encoder_->ch_layout.nb_channels, 1));
    if (!queue_) throw std::bad_alloc();
}

AudioTranscoder::~AudioTranscoder() = default;

void AudioTranscoder::openDecoder(const AVStream& source) {
    const AVCodec* codec = avcodec_find_decoder(source.codecpar->codec_id);
    if (!codec)
        throw MediaError(std::string("this FFmpeg build cannot decode ") +
                         avcodec_get_name(source.codecpar->codec_id));
    decoder_.reset(avcodec_alloc_context3(codec));
    if (!decoder_) throw std::bad_alloc();
    if (int err = avcodec_parameters_to_context(decoder_.get(), source.codecpar); err < 0)
        fail("cannot decode the sound", err);
    decoder_->pkt_timebase = source.time_base;
    if (int err = avcodec_open2(decoder_.get(), codec, nullptr); err < 0)
        fail("cannot decode the sound", err);
}

void AudioTranscoder::openEncoder(const StreamPlan& plan, bool globalHeader) {
    const AVCodec* codec = avcodec_find_encoder_by_name(plan.encoder.c_str());
    if (!codec) throw MediaError("this FFmpeg build has no " + plan.encoder + " encoder");
    encoder_.reset(avcodec_alloc_context3(codec));
    if (!encoder_) throw std::bad_alloc();
    AVCodecContext& c = *encoder_;
    c.sample_rate = chooseRate(*codec, decoder_->sample_rate);
    chooseLayout(*codec, decoder_->ch_layout, c.ch_layout);
    c.sample_fmt = chooseFormat(*codec, plan.bitsPerSample > 0 ? plan.bitsPerSample : 24);
    if (plan.bitsPerSample > 0) c.bits_per_raw_sample = plan.bitsPerSample;
    if (codec->id == AV_CODEC_ID_AAC) c.bit_rate = kAacBitsPerChannel * c.ch_layout.nb_channels;
    c.time_base = AVRational{1, c.sample_rate};
    if (globalHeader) c.flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    if (int err = avcodec_open2(&c, codec, nullptr); err < 0)
        fail("cannot start the " + plan.encoder + " encoder", err);
}

void AudioTranscoder::send(const AVPacket& packet, const Sink& sink) {
    const int err = avcodec_send_packet(decoder_.get(), &packet);
    // A damaged packet costs its few milliseconds of sound, not the whole job.
    if (err < 0 && err != AVERROR_INVALIDDATA) fail("cannot decode the sound", err);
    receiveDecoded(sink);
}

void AudioTranscoder::flush(const Sink& sink) {
    avcodec_send_packet(decoder_.get(), nullptr);
    receiveDecoded(sink);
    if (resampler_) resample(nullptr);
    encodeQueued(true, sink);
    avcodec_send_frame(encoder_.get(), nullptr);
    receiveEncoded(sink);
}

void AudioTranscoder::receiveDecoded(const Sink& sink) {
    for (;;) {
        const int err = avcodec_receive_frame(decoder_.get(), decoded_.get());
        if (err == AVERROR(EAGAIN) || err == AVERROR_EOF) return;
        if (err == AVERROR_INVALIDDATA) continue;
        if (err < 0) fail("cannot decode the sound", err);
        if (nextPts_ == AV_NOPTS_VALUE) {
            const int64_t t = decoded_->best_effort_timestamp;
            nextPts_ = t == AV_NOPTS_VALUE ? 0 : av_rescale_q(t, sourceTimeBase_, timeBase());
        }
        if (decoded_->ch_layout.order == AV_CHANNEL_ORDER_UNSPEC) {
            const int channels = decoded_->ch_layout.nb_channels;
            av_channel_layout_uninit(&decoded_->ch_layout);
            av_channel_layout_default(&decoded_->ch_layout, channels);
        }
        resample(decoded_.get());
        av_frame_unref(decoded_.get());
        encodeQueued(false, sink);
    }
}

// Converts to the encoder's format, rate and channels and queues the samples; null drains
// the resampler.
void AudioTranscoder::resample(const AVFrame* decoded) {
    if (!resampler_) {
        SwrContext* raw = nullptr;
        // Copies: this FFmpeg's resampler takes its layouts by pointer to non-const.
        AVChannelLayout out = encoder_->ch_layout, in = decoded->ch_layout;
        int err =
            swr_alloc_set_opts2(&raw, &out, encoder_->sample_fmt, encoder_->sample_rate, &in,
                                AVSampleFormat(decoded->format), decoded->sample_rate, 0, nullptr);
        resampler_.reset(raw);
        if (err >= 0) err = swr_init(raw);
        if (err < 0) fail("cannot convert the sound", err);
    }
    FramePtr converted = allocFrame();
    converted->format = encoder_->sample_fmt;
    converted->sample_rate = encoder_->sample_rate;
    av_channel_layout_copy(&converted->ch_layout, &encoder_->ch_layout);
    if (int err = swr_convert_frame(resampler_.get(), converted.get(), decoded); err < 0)
        fail("cannot convert the sound", err);
    if (converted->nb_samples > 0 &&
        av_audio_fifo_write(queue_.get(), reinterpret_cast<void**>(converted->extended_data),
                            converted->nb_samples) < converted->nb_samples)
        throw std::bad_alloc();
}

// Encodes whole frames of the queue; `final` also the rest, padded with silence for
// encoders that take only whole frames.
void AudioTranscoder::encodeQueued(bool final, const Sink& sink) {
    const AVCodecContext& c = *encoder_;
    const bool anySize =
        c.frame_size <= 0 || (c.codec->capabilities & AV_CODEC_CAP_VARIABLE_FRAME_SIZE) != 0;
    const int frameSize = anySize ? kFreeFrameSize : c.frame_size;
    const bool shortLast = anySize || (c.codec->capabilities & AV_CODEC_CAP_SMALL_LAST_FRAME) != 0;
    while (av_audio_fifo_size(queue_.get()) >= frameSize ||
           (final && av_audio_fifo_size(queue_.get()) > 0)) {
        const int samples = std::min(av_audio_fifo_size(queue_.get()), frameSize);
        FramePtr frame = allocFrame();
        frame->nb_samples = shortLast ? samples : frameSize;
        frame->format = c.sample_fmt;
        frame->sample_rate = c.sample_rate;
        av_channel_layout_copy(&frame->ch_layout, &c.ch_layout);
        if (int err = av_frame_get_buffer(frame.get(), 0); err < 0) fail("cannot encode", err);
        av_samples_set_silence(frame->extended_data, 0, frame->nb_samples, c.ch_layout.nb_channels,
                               c.sample_fmt);
        av_audio_fifo_read(queue_.get(), reinterpret_cast<void**>(frame->extended_data), samples);
        frame->pts = nextPts_;
        nextPts_ += samples;
        if (int err = avcodec_send_frame(encoder_.get(), frame.get()); err < 0)
            fail("cannot encode the sound", err);
        receiveEncoded(sink);
    }
}

void AudioTranscoder::receiveEncoded(const Sink& sink) {
    for (;;) {
        const int err = avcodec_receive_packet(encoder_.get(), encoded_.get());
        if (err == AVERROR(EAGAIN) || err == AVERROR_EOF) return;
        if (err < 0) fail("cannot encode the sound", err);
        sink(*encoded_);
        av_packet_unref(encoded_.get());
    }
}

}  // namespace ruvovav::media
