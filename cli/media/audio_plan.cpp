#include "audio_plan.h"

#include <cstring>

#include "av_handles.h"

namespace ruvovav::media {
namespace {

// An output that takes every byte and remembers nothing, seekable so that muxers which go
// back to patch their headers accept it.
struct NullSink {
    int64_t position = 0, size = 0;
};

int writeNowhere(void* opaque, uint8_t*, int bytes) {
    auto* sink = static_cast<NullSink*>(opaque);
    sink->position += bytes;
    sink->size = std::max(sink->size, sink->position);
    return bytes;
}

int64_t seekNowhere(void* opaque, int64_t offset, int whence) {
    auto* sink = static_cast<NullSink*>(opaque);
    if (whence & AVSEEK_SIZE) return sink->size;
    if ((whence & ~AVSEEK_FORCE) == SEEK_CUR) offset += sink->position;
    if ((whence & ~AVSEEK_FORCE) == SEEK_END) offset += sink->size;
    sink->position = offset;
    return offset;
}

// A custom AVIOContext, freed with its buffer; avio_close would take our sink for a URL.
struct NullIoDeleter {
    void operator()(AVIOContext* io) const {
        av_freep(&io->buffer);
        avio_context_free(&io);
    }
};

bool headerWrites(const AVOutputFormat& muxer, const AVCodecParameters& parameters) {
    AVFormatContext* raw = nullptr;
    if (avformat_alloc_output_context2(&raw, &muxer, nullptr, nullptr) < 0) return false;
    const std::unique_ptr<AVFormatContext, void (*)(AVFormatContext*)> context(
        raw, [](AVFormatContext* c) { avformat_free_context(c); });
    AVStream* stream = avformat_new_stream(raw, nullptr);
    if (!stream || avcodec_parameters_copy(stream->codecpar, &parameters) < 0) return false;
    stream->codecpar->codec_tag = 0;
    stream->time_base = AVRational{1, parameters.sample_rate > 0 ? parameters.sample_rate : 1000};
    NullSink sink;
    constexpr int kBuffer = 4096;
    auto* buffer = static_cast<uint8_t*>(av_malloc(kBuffer));
    if (!buffer) return false;
    const std::unique_ptr<AVIOContext, NullIoDeleter> io(
        avio_alloc_context(buffer, kBuffer, 1, &sink, nullptr, writeNowhere, seekNowhere));
    if (!io) {
        av_free(buffer);
        return false;
    }
    raw->pb = io.get();
    raw->flags |= AVFMT_FLAG_CUSTOM_IO;
    const bool written = avformat_write_header(raw, nullptr) >= 0;
    raw->pb = nullptr;
    return written;
}

bool isPrivateMapping(const AVOutputFormat& muxer, AVCodecID codec) {
    const bool isoFamily = !std::strcmp(muxer.name, "mp4") || !std::strcmp(muxer.name, "mov");
    return isoFamily && codec == AV_CODEC_ID_VORBIS;
}

// The depth a lossless copy of the sound needs: what the codec says it carries, or 24 bits
// for float and lossy sources, which hold no more than that.
int sourceBits(const AVCodecParameters& p) {
    if (p.bits_per_raw_sample > 0) return p.bits_per_raw_sample;
    switch (AVSampleFormat(p.format)) {
        case AV_SAMPLE_FMT_U8:
        case AV_SAMPLE_FMT_U8P:
        case AV_SAMPLE_FMT_S16:
        case AV_SAMPLE_FMT_S16P:
            return 16;
        default:
            return 24;
    }
}

// The codec sound is re-encoded to where the container does not take the source's: lossless
// where the container's users expect it, AAC in MP4, which is for delivery.
StreamPlan fallbackFor(const AVOutputFormat& muxer, const AVCodecParameters& p) {
    const std::string name = muxer.name;
    const bool deep = sourceBits(p) > 16;
    StreamPlan plan{.action = StreamAction::Encode};
    if (name == "matroska") {
        plan.encoder = "flac";
        plan.bitsPerSample = deep ? 24 : 16;
    } else if (name == "mov" || name == "avi") {
        plan.encoder = deep ? "pcm_s24le" : "pcm_s16le";
    } else if (name == "mp4") {
        plan.encoder = "aac";
    } else {
        return {.action = StreamAction::Drop};
    }
    const AVCodec* encoder = avcodec_find_encoder_by_name(plan.encoder.c_str());
    if (!encoder || avformat_query_codec(&muxer, encoder->id, FF_COMPLIANCE_NORMAL) != 1)
        return {.action = StreamAction::Drop};
    return plan;
}

std::string describe(const AVStream& stream) {
    const char* type = av_get_media_type_string(stream.codecpar->codec_type);
    return std::string(type ? type : "data") + " stream #" + std::to_string(stream.index) + " (" +
           avcodec_get_name(stream.codecpar->codec_id) + ")";
}

bool isTimecodeTrack(const AVStream& stream) {
    return stream.codecpar->codec_type == AVMEDIA_TYPE_DATA &&
           av_dict_get(stream.metadata, "timecode", nullptr, 0) != nullptr;
}

StreamPlan planAudio(const AVStream& stream, const AVOutputFormat& muxer) {
    StreamPlan plan{.sourceIndex = stream.index};
    if (muxerTakes(muxer, *stream.codecpar)) {
        plan.action = StreamAction::Copy;
        return plan;
    }
    StreamPlan fallback = fallbackFor(muxer, *stream.codecpar);
    fallback.sourceIndex = stream.index;
    if (fallback.action == StreamAction::Drop) {
        fallback.note = describe(stream) + " is left out: " + muxer.name + " holds no sound";
        return fallback;
    }
    fallback.note = describe(stream) + " is re-encoded to " + fallback.encoder + ": " + muxer.name +
                    " does not take " + avcodec_get_name(stream.codecpar->codec_id);
    return fallback;
}

StreamPlan planOther(const AVStream& stream, const AVOutputFormat& muxer) {
    StreamPlan plan{.sourceIndex = stream.index};
    const AVMediaType type = stream.codecpar->codec_type;
    const bool taken = type == AVMEDIA_TYPE_ATTACHMENT ? !std::strcmp(muxer.name, "matroska")
                                                       : muxerTakes(muxer, *stream.codecpar);
    if (taken) {
        plan.action = StreamAction::Copy;
    } else {
        plan.note = describe(stream) + " is left out: " + muxer.name + " does not take it";
    }
    return plan;
}

}  // namespace

bool muxerTakes(const AVOutputFormat& muxer, const AVCodecParameters& parameters) {
    if (isPrivateMapping(muxer, parameters.codec_id)) return false;
    if (avformat_query_codec(&muxer, parameters.codec_id, FF_COMPLIANCE_NORMAL) == 0) return false;
    return headerWrites(muxer, parameters);
}

std::vector<StreamPlan> planStreams(const AVFormatContext& source, int videoStream,
                                    const AVOutputFormat& muxer, bool withAudio,
                                    const std::string& audioLeftOut) {
    std::vector<StreamPlan> plans;
    for (unsigned i = 0; i < source.nb_streams; ++i) {
        const AVStream& stream = *source.streams[i];
        if (int(i) == videoStream || isTimecodeTrack(stream)) continue;
        if (stream.codecpar->codec_type == AVMEDIA_TYPE_VIDEO) {
            plans.push_back(
                {.sourceIndex = int(i),
                 .note = describe(stream) + " is left out: one video stream is written"});
            continue;
        }
        if (stream.codecpar->codec_type == AVMEDIA_TYPE_AUDIO) {
            if (withAudio) {
                plans.push_back(planAudio(stream, muxer));
            } else if (!audioLeftOut.empty()) {
                plans.push_back({.sourceIndex = int(i),
                                 .note = describe(stream) + " is left out: " + audioLeftOut});
            }
            continue;
        }
        plans.push_back(planOther(stream, muxer));
    }
    return plans;
}

}  // namespace ruvovav::media
