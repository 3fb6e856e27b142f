#include "source_streams.h"

#include <climits>
#include <cmath>

extern "C" {
#include <libavutil/display.h>
}

#include "media_error.h"
#include "stream_metadata.h"

namespace ruvovav::media {
namespace {

// A copied stream's parameters as a new container needs them: it picks its own tag, and a
// block size that Matroska reports for MP3 and AC-3 frames would make AVI readers cut the
// sound at that size (FFmpeg's own copy clears it for the same reason).
void prepareCopy(AVCodecParameters& p) {
    p.codec_tag = 0;
    const bool mp3Frames = p.codec_id == AV_CODEC_ID_MP3 &&
                           (p.block_align == 1 || p.block_align == 576 || p.block_align == 1152);
    if (mp3Frames || p.codec_id == AV_CODEC_ID_AC3) p.block_align = 0;
}

}  // namespace

SourceStreams::SourceStreams(const std::filesystem::path& source, const AVOutputFormat& muxer,
                             const SourceStreamOptions& options)
    : path_(source), notice_(options.notice) {
    quietFfmpegLog();
    AVFormatContext* raw = nullptr;
    if (int err = avformat_open_input(&raw, source.c_str(), nullptr, nullptr); err < 0)
        throw MediaError("cannot open " + quotedPath(source) + ": " + avErrorText(err));
    input_.reset(raw);
    if (int err = avformat_find_stream_info(raw, nullptr); err < 0)
        throw MediaError("cannot read " + quotedPath(source) + ": " + avErrorText(err));
    // Asked as the reader asks, so that both pick the same video stream.
    const AVCodec* decoder = nullptr;
    videoStream_ = av_find_best_stream(raw, AVMEDIA_TYPE_VIDEO, -1, -1, &decoder, 0);
    route(planStreams(*raw, videoStream_, muxer, options.audio, options.audioLeftOut));
}

void SourceStreams::route(const std::vector<StreamPlan>& plans) {
    routeOf_.assign(input_->nb_streams, -1);
    for (const StreamPlan& plan : plans) {
        if (plan.action != StreamAction::Drop) {
            routeOf_[plan.sourceIndex] = int(routes_.size());
            routes_.push_back({.plan = plan});
        }
        if (!plan.note.empty() && notice_) notice_(plan.note);
    }
    // The demuxer then skips what nobody reads.
    for (unsigned i = 0; i < input_->nb_streams; ++i)
        if (routeOf_[i] < 0) input_->streams[i]->discard = AVDISCARD_ALL;
}

SourceStreams::~SourceStreams() = default;

int64_t SourceStreams::fileStart() const {
    return input_->start_time == AV_NOPTS_VALUE ? 0 : input_->start_time;
}

void SourceStreams::addTo(AVFormatContext& output, AVStream& video) {
    output_ = &output;
    copyTags(input_->metadata, &output.metadata);
    if (videoStream_ >= 0) {
        copyVideoMetadata(*input_, videoStream_, video);
        noteLostRotation(*output.oformat);
    }
    const bool globalHeader = output.oformat->flags & AVFMT_GLOBALHEADER;
    for (Route& route : routes_) {
        const AVStream& source = *input_->streams[route.plan.sourceIndex];
        route.output = avformat_new_stream(&output, nullptr);
        if (!route.output) throw std::bad_alloc();
        int err = 0;
        if (route.plan.action == StreamAction::Encode) {
            route.transcoder = std::make_unique<AudioTranscoder>(source, route.plan, globalHeader);
            err = avcodec_parameters_from_context(route.output->codecpar,
                                                  &route.transcoder->encoder());
            route.output->time_base = route.transcoder->timeBase();
        } else {
            err = avcodec_parameters_copy(route.output->codecpar, source.codecpar);
            prepareCopy(*route.output->codecpar);
            route.output->time_base = source.time_base;
        }
        if (err < 0) throw MediaError("cannot copy " + quotedPath(path_) + ": " + avErrorText(err));
        copyTags(source.metadata, &route.output->metadata);
        route.output->disposition = source.disposition;
    }
}

// Of our containers only QuickTime and MP4 store a rotation; elsewhere the picture would
// silently turn, so users are told.
void SourceStreams::noteLostRotation(const AVOutputFormat& muxer) const {
    const std::string name = muxer.name;
    if (!notice_ || name == "mov" || name == "mp4") return;
    size_t size = 0;
    const uint8_t* matrix =
        av_stream_get_side_data(input_->streams[videoStream_], AV_PKT_DATA_DISPLAYMATRIX, &size);
    if (!matrix || size < 9 * sizeof(int32_t)) return;
    const double degrees = av_display_rotation_get(reinterpret_cast<const int32_t*>(matrix));
    if (std::isnan(degrees) || std::lround(degrees) % 360 == 0) return;
    // The matrix turns counterclockwise; people speak of clockwise turns.
    notice_("the source's rotation (" + std::to_string(std::lround(-degrees)) +
            " degrees clockwise) is not kept: " + name + " cannot hold it (.mov and .mp4 can)");
}

// The next packet of a stream that comes along into pending_; false at the end.
bool SourceStreams::readPending() {
    while (!hasPending_ && !ended_) {
        av_packet_unref(pending_.get());
        const int err = av_read_frame(input_.get(), pending_.get());
        if (err == AVERROR_EOF) {
            ended_ = true;
        } else if (err < 0) {
            throw MediaError("cannot read the sound of " + quotedPath(path_) + ": " +
                             avErrorText(err));
        } else {
            const int index = pending_->stream_index;
            hasPending_ = index >= 0 && index < int(routeOf_.size()) && routeOf_[index] >= 0;
        }
    }
    return hasPending_;
}

int64_t SourceStreams::pendingTime() const {
    const int64_t t = pending_->pts != AV_NOPTS_VALUE ? pending_->pts : pending_->dts;
    if (t == AV_NOPTS_VALUE) return AV_NOPTS_VALUE;
    return av_rescale_q(t, input_->streams[pending_->stream_index]->time_base, AV_TIME_BASE_Q);
}

void SourceStreams::writeUntil(int64_t micros) {
    while (readPending()) {
        const int64_t t = pendingTime();
        if (t != AV_NOPTS_VALUE && t >= micros) return;
        // Untimed packets and those before the origin are not placeable in the output.
        if (t != AV_NOPTS_VALUE && t >= origin_) send(*pending_);
        hasPending_ = false;
    }
}

void SourceStreams::finish(int64_t micros) {
    writeUntil(micros);
    for (const Route& r : routes_) {
        if (!r.transcoder) continue;
        r.transcoder->flush([&](AVPacket& p) { write(p, r.transcoder->timeBase(), r); });
    }
}

void SourceStreams::send(AVPacket& packet) {
    const Route& r = routes_[routeOf_[packet.stream_index]];
    if (r.transcoder) {
        r.transcoder->send(packet, [&](AVPacket& p) { write(p, r.transcoder->timeBase(), r); });
    } else {
        write(packet, input_->streams[packet.stream_index]->time_base, r);
    }
}

// Moves the packet from the source's clock in `timeBase` to the output's, origin at 0.
void SourceStreams::write(AVPacket& packet, AVRational timeBase, const Route& r) {
    const int64_t shift = av_rescale_q(origin_, AV_TIME_BASE_Q, timeBase);
    if (packet.pts != AV_NOPTS_VALUE) packet.pts -= shift;
    if (packet.dts != AV_NOPTS_VALUE) packet.dts -= shift;
    av_packet_rescale_ts(&packet, timeBase, r.output->time_base);
    packet.stream_index = r.output->index;
    packet.pos = -1;
    if (int err = av_interleaved_write_frame(output_, &packet); err < 0)
        throw MediaError("cannot write the sound: " + avErrorText(err));
}

}  // namespace ruvovav::media
