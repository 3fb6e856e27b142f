#include "video_reader.h"

#include <cstdlib>

extern "C" {
#include <libavutil/pixdesc.h>
}

namespace ruvovav::media {
namespace {

// Forward jumps up to this many frames decode on instead of seeking: cheaper than a seek that
// lands on the keyframe we are already past.
constexpr int64_t kDecodeAhead = 32;
// Seek attempts, each starting this many frames further back, before decoding from the start.
constexpr int kSeekAttempts = 3;
constexpr int64_t kSeekBackoffFrames = 48;

}  // namespace

VideoReader::VideoReader(std::filesystem::path path) : path_(std::move(path)) {
    quietFfmpegLog();
    openFromStart();
    describe();
}

void VideoReader::fail(const std::string& what, int code) const {
    throw MediaError(what + " " + quotedPath(path_) + ": " + avErrorText(code));
}

// (Re)opens demuxer and decoder at the first frame; reopening is our most reliable rewind.
void VideoReader::openFromStart() {
    decoder_.reset();
    format_.reset();
    AVFormatContext* raw = nullptr;
    if (int err = avformat_open_input(&raw, path_.c_str(), nullptr, nullptr); err < 0)
        fail("cannot open", err);
    format_.reset(raw);
    if (int err = avformat_find_stream_info(format_.get(), nullptr); err < 0)
        fail("cannot read", err);
    const AVCodec* codec = nullptr;
    stream_ = av_find_best_stream(format_.get(), AVMEDIA_TYPE_VIDEO, -1, -1, &codec, 0);
    if (stream_ < 0) throw MediaError(quotedPath(path_) + " has no video stream we can decode");
    const AVCodecParameters* par = format_->streams[stream_]->codecpar;
    if (par->width <= 0 || par->height <= 0 || par->width > kMaxFrameSide ||
        par->height > kMaxFrameSide)
        throw MediaError(quotedPath(path_) + " has an unsupported frame size " +
                         std::to_string(par->width) + "x" + std::to_string(par->height));
    decoder_.reset(avcodec_alloc_context3(codec));
    if (!decoder_) throw std::bad_alloc();
    avcodec_parameters_to_context(decoder_.get(), par);
    decoder_->thread_count = 0;
    if (int err = avcodec_open2(decoder_.get(), codec, nullptr); err < 0)
        fail("cannot decode", err);
    timeBase_ = format_->streams[stream_]->time_base;
    demuxEnded_ = false;
    nextIndex_ = 0;
    holdsFrame_ = false;
}

void VideoReader::describe() {
    const AVStream* stream = format_->streams[stream_];
    const AVCodecParameters* par = stream->codecpar;
    info_.width = par->width;
    info_.height = par->height;
    AVRational rate = stream->avg_frame_rate;
    if (rate.num <= 0 || rate.den <= 0) rate = stream->r_frame_rate;
    if (rate.num > 0 && rate.den > 0) {
        info_.rateNum = rate.num;
        info_.rateDen = rate.den;
    }
    info_.codec = avcodec_get_name(par->codec_id);
    const auto format = AVPixelFormat(par->format);
    // Probing learns the format from the first pictures it decodes; none means none decoded.
    if (format == AV_PIX_FMT_NONE)
        throw MediaError(quotedPath(path_) +
                         " is truncated or corrupt: not one picture of it can be decoded");
    const AVPixFmtDescriptor* desc = av_pix_fmt_desc_get(format);
    if (!desc) throw MediaError(quotedPath(path_) + " has an unknown pixel format");
    info_.pixelFormat = desc->name;
    info_.bitDepth = desc->comp[0].depth;
    info_.isFloat = desc->flags & AV_PIX_FMT_FLAG_FLOAT;
    info_.hasAlpha = desc->flags & AV_PIX_FMT_FLAG_ALPHA;
    info_.frameCount = stream->nb_frames > 0 ? stream->nb_frames : countPackets();
    info_.timeBaseNum = timeBase_.num;
    info_.timeBaseDen = timeBase_.den;
}

// Containers without a frame count (Matroska, Y4M, some AVI): one packet is one frame for every
// codec we read, so a demux-only pass counts them without decoding.
int64_t VideoReader::countPackets() const {
    AVFormatContext* raw = nullptr;
    if (int err = avformat_open_input(&raw, path_.c_str(), nullptr, nullptr); err < 0)
        fail("cannot open", err);
    InputContext input(raw);
    PacketPtr packet = allocPacket();
    int64_t count = 0;
    const int64_t errorsBefore = ffmpegErrorCount();
    for (;;) {
        int err = av_read_frame(input.get(), packet.get());
        if (err == AVERROR_EOF) break;
        if (err < 0) fail("cannot read", err);
        if (packet->stream_index == stream_ && !(packet->flags & AV_PKT_FLAG_DISCARD)) ++count;
        av_packet_unref(packet.get());
    }
    // A demuxer that stops early says so in its log, not in its return codes.
    if (ffmpegErrorCount() != errorsBefore)
        throw MediaError(quotedPath(path_) + " is truncated or corrupt: " + lastFfmpegError());
    return count;
}

// Next packet of our stream into packet_; false at the end of the file.
bool VideoReader::readPacket() {
    for (;;) {
        av_packet_unref(packet_.get());
        int err = av_read_frame(format_.get(), packet_.get());
        if (err == AVERROR_EOF) return false;
        if (err < 0) fail("cannot read", err);
        if (packet_->stream_index == stream_) return true;
    }
}

// Next decoded frame into frame_, feeding packets as the decoder asks; false when drained.
bool VideoReader::receiveFrame() {
    for (;;) {
        int err = avcodec_receive_frame(decoder_.get(), frame_.get());
        if (err == 0) {
            ++decodedFrames_;
            return true;
        }
        if (err == AVERROR_EOF) return false;
        if (err != AVERROR(EAGAIN)) fail("corrupt video in", err);
        if (!demuxEnded_ && readPacket()) {
            err = avcodec_send_packet(decoder_.get(), packet_.get());
        } else {
            demuxEnded_ = true;
            err = avcodec_send_packet(decoder_.get(), nullptr);
        }
        if (err < 0 && err != AVERROR_EOF) fail("corrupt video in", err);
    }
}

bool VideoReader::decoderConcealed() const {
    return frame_->decode_error_flags != 0 || (frame_->flags & AV_FRAME_FLAG_CORRUPT);
}

int64_t VideoReader::frameTime() const {
    return frame_->best_effort_timestamp;
}

// The next frame in order; notes its time so that a later jump back can find it again.
bool VideoReader::decodeNext() {
    if (!receiveFrame()) return false;
    const int64_t index = nextIndex_++;
    holdsFrame_ = true;
    const int64_t time = frameTime();
    if (time == AV_NOPTS_VALUE) steadyRate_ = false;
    if (index == int64_t(times_.size())) times_.push_back(time);
    if (steadyRate_ && index > 0) {
        const int64_t expected =
            times_[0] + av_rescale_q(index, AVRational{info_.rateDen, info_.rateNum}, timeBase_);
        if (std::llabs(time - expected) * 2 >= frameDuration()) steadyRate_ = false;
    }
    return true;
}

// Presentation time of frame `index`: as seen when known, else from the nominal rate while the
// stream has kept it; AV_NOPTS_VALUE when it cannot be known without decoding up to it.
int64_t VideoReader::timeOf(int64_t index) const {
    if (index < int64_t(times_.size())) return times_[index];
    if (!steadyRate_ || times_.empty() || times_[0] == AV_NOPTS_VALUE) return AV_NOPTS_VALUE;
    return times_[0] + av_rescale_q(index, AVRational{info_.rateDen, info_.rateNum}, timeBase_);
}

// One frame at the nominal rate, in stream time; 0 when the time base is coarser than that.
int64_t VideoReader::frameDuration() const {
    return av_rescale_q(1, AVRational{info_.rateDen, info_.rateNum}, timeBase_);
}

bool VideoReader::read(int64_t frameIndex, Picture& out) {
    if (frameIndex < 0 || frameIndex >= info_.frameCount) return false;
    const bool current = holdsFrame_ && frameIndex == nextIndex_ - 1;
    const bool ahead = frameIndex >= nextIndex_ && frameIndex - nextIndex_ <= kDecodeAhead;
    if (!current && !ahead) reposition(frameIndex);
    const int64_t errorsBefore = ffmpegErrorCount();
    bool concealed = holdsFrame_ && decoderConcealed();
    while (nextIndex_ <= frameIndex) {
        if (!decodeNext())
            throw MediaError(quotedPath(path_) + " is truncated or corrupt: it ends after frame " +
                             std::to_string(nextIndex_) + " of " +
                             std::to_string(info_.frameCount));
        concealed = concealed || decoderConcealed();
    }
    if (frame_->width != info_.width || frame_->height != info_.height)
        throw MediaError(quotedPath(path_) +
                         " changes frame size mid-stream, which is not supported");
    // Decoders conceal damage and go on; a denoised copy of a damaged frame is no result. A
    // frame-threaded decoder logs from its own threads, possibly between two reads, so the
    // frame's own flags are what decide; the log only names the damage.
    if (concealed || ffmpegErrorCount() != errorsBefore) {
        const std::string logged = lastFfmpegError();
        throw MediaError(quotedPath(path_) + " is corrupt near frame " +
                         std::to_string(frameIndex) + ": " +
                         (logged.empty() ? "the decoder had to conceal damage" : logged));
    }
    converter_.convert(*frame_, out);
    const int64_t time = frameTime();
    out.time = time == AV_NOPTS_VALUE ? Picture::kNoTime : time;
    readTimes_[frameIndex] = out.time;
    return true;
}

int64_t VideoReader::presentationTime(int64_t frameIndex) const {
    const auto known = readTimes_.find(frameIndex);
    return known == readTimes_.end() ? Picture::kNoTime : known->second;
}

// Leaves the decoder holding frame `index`, or ready to decode forward up to it.
void VideoReader::reposition(int64_t index) {
    if (times_.empty()) decodeNext();  // the first frame's time anchors every other
    const int64_t time = timeOf(index);
    if (time != AV_NOPTS_VALUE) {
        for (int attempt = 0; attempt < kSeekAttempts; ++attempt) {
            const int64_t back = attempt * kSeekBackoffFrames * frameDuration();
            if (seekAndFind(index, time, time - back)) return;
        }
    } else if (index >= nextIndex_) {
        return;  // unknown time ahead: decoding on is exact
    }
    openFromStart();
}

// Seeks to the keyframe at or before seekTime and decodes to the frame of time `time`. Refuses
// (false) a landing keyframe later than the target: frames before a keyframe in presentation
// order may depend on pictures before it.
bool VideoReader::seekAndFind(int64_t index, int64_t time, int64_t seekTime) {
    if (av_seek_frame(format_.get(), stream_, seekTime, AVSEEK_FLAG_BACKWARD) < 0) return false;
    avcodec_flush_buffers(decoder_.get());
    demuxEnded_ = false;
    holdsFrame_ = false;
    if (!readPacket()) return false;
    const int64_t landing = packet_->pts != AV_NOPTS_VALUE ? packet_->pts : packet_->dts;
    if (landing == AV_NOPTS_VALUE || landing > time) return false;
    if (int err = avcodec_send_packet(decoder_.get(), packet_.get()); err < 0)
        fail("corrupt video in", err);
    const bool exact = index < int64_t(times_.size());
    const int64_t tolerance = exact ? 0 : frameDuration() / 2;
    while (receiveFrame()) {
        const int64_t t = frameTime();
        if (t == AV_NOPTS_VALUE || t > time + tolerance) return false;
        if (t >= time - tolerance) {
            nextIndex_ = index + 1;
            holdsFrame_ = true;
            return true;
        }
    }
    return false;
}

}  // namespace ruvovav::media
