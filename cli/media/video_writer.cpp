#include "video_writer.h"

#include <climits>

#include "media_reader.h"

extern "C" {
#include <libavutil/opt.h>
}

namespace ruvovav::media {
namespace {

AVRational nominalFrame(const VideoInfo& v) {
    return AVRational{v.rateDen, v.rateNum};
}

}  // namespace

VideoWriter::VideoWriter(std::filesystem::path output, const VideoInfo& source,
                         const VideoTarget& target, const WriterOptions& options)
    : output_(std::move(output)), source_(source), options_(options) {
    quietFfmpegLog();
    temp_ = std::make_unique<TempFile>(output_);  // an unwritable folder fails here, first
    useTimes_ = target.keepsTimes && source.timeBaseNum > 0 && source.timeBaseDen > 0;
    AVFormatContext* raw = nullptr;
    int err = avformat_alloc_output_context2(&raw, nullptr, target.muxer.c_str(), output_.c_str());
    if (err < 0) fail("cannot create", err);
    format_.reset(raw);
    // Y4M's deep formats are FFmpeg extensions; FFmpeg reads them back.
    format_->strict_std_compliance = FF_COMPLIANCE_UNOFFICIAL;
    openEncoder(target);
    converter_ = std::make_unique<PictureToFrame>(source.width, source.height, target.pixelFormat,
                                                  target.coding);
    if (!options.source.empty() && !opensAsImages(options.source)) {
        const SourceStreamOptions streams{
            .audio = options.audio, .audioLeftOut = options.audioLeftOut, .notice = options.notice};
        sources_ = std::make_unique<SourceStreams>(options.source, *format_->oformat, streams);
    }
    openFile();
}

VideoWriter::~VideoWriter() {
    if (!closed_) abandon();
}

// Abandons the partial file first, so that an error never leaves one behind.
void VideoWriter::fail(const std::string& what, int code) {
    if (!closed_) abandon();
    throw MediaError(what + " " + quotedPath(output_) + ": " + avErrorText(code));
}

void VideoWriter::openEncoder(const VideoTarget& target) {
    const AVCodec* codec = avcodec_find_encoder_by_name(target.encoder.c_str());
    if (!codec) throw MediaError("this FFmpeg build has no " + target.encoder + " encoder");
    encoder_.reset(avcodec_alloc_context3(codec));
    if (!encoder_) throw std::bad_alloc();
    AVCodecContext& c = *encoder_;
    c.width = source_.width;
    c.height = source_.height;
    c.pix_fmt = target.pixelFormat;
    c.time_base =
        useTimes_ ? AVRational{source_.timeBaseNum, source_.timeBaseDen} : nominalFrame(source_);
    c.framerate = AVRational{source_.rateNum, source_.rateDen};
    c.sample_aspect_ratio = AVRational{1, 1};
    c.thread_count = 0;
    if (target.tagColour) {
        c.colorspace = target.coding.matrix;
        c.color_range = target.coding.fullRange ? AVCOL_RANGE_JPEG : AVCOL_RANGE_MPEG;
        c.color_primaries = AVCOL_PRI_BT709;
        c.color_trc = AVCOL_TRC_BT709;
    }
    if (format_->oformat->flags & AVFMT_GLOBALHEADER) c.flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    AVDictionary* raw = nullptr;  // C calls only until it is owned below
    for (const auto& [key, value] : target.encoderOptions)
        av_dict_set(&raw, key.c_str(), value.c_str(), 0);
    const int err = avcodec_open2(&c, codec, &raw);
    const std::unique_ptr<AVDictionary, DictionaryDeleter> unused(raw);
    if (err < 0) fail("cannot start the " + target.encoder + " encoder for", err);
    // An option the encoder did not take would silently change what we write.
    if (const AVDictionaryEntry* e = av_dict_get(unused.get(), "", nullptr, AV_DICT_IGNORE_SUFFIX))
        throw MediaError("the " + target.encoder + " encoder has no option '" + e->key + "'");
}

void VideoWriter::openFile() {
    stream_ = avformat_new_stream(format_.get(), nullptr);
    if (!stream_) throw std::bad_alloc();
    stream_->time_base = encoder_->time_base;
    stream_->avg_frame_rate = encoder_->framerate;
    int err = avcodec_parameters_from_context(stream_->codecpar, encoder_.get());
    if (err < 0) fail("cannot create", err);
    // "hvc1" is the H.265 tag QuickTime and Apple devices require.
    const std::string muxer = format_->oformat->name;
    if (encoder_->codec_id == AV_CODEC_ID_HEVC && (muxer == "mp4" || muxer == "mov"))
        stream_->codecpar->codec_tag = MKTAG('h', 'v', 'c', '1');
    if (sources_) sources_->addTo(*format_, *stream_);
    if (!(format_->oformat->flags & AVFMT_NOFILE)) {
        err = avio_open(&format_->pb, temp_->path().c_str(), AVIO_FLAG_WRITE);
        if (err < 0) fail("cannot create", err);
    }
    err = avformat_write_header(format_.get(), nullptr);
    if (err < 0) fail("cannot write", err);
}

// Output time 0: the source's first frame, or for a whole clip with other streams the
// file's start, so that sound which starts before the pictures is kept whole. (A container
// of one frame rate starts its pictures at 0 regardless, as FFmpeg's own copy does.)
void VideoWriter::chooseOrigin(const Picture& first) {
    const bool timed = first.time != Picture::kNoTime && source_.timeBaseDen > 0;
    const int64_t firstMicros =
        timed ? av_rescale_q(first.time, AVRational{source_.timeBaseNum, source_.timeBaseDen},
                             AV_TIME_BASE_Q)
              : (sources_ ? sources_->fileStart() : 0);
    origin_ = firstMicros;
    if (options_.wholeClip && sources_) origin_ = std::min(firstMicros, sources_->fileStart());
    if (sources_) sources_->setOrigin(origin_);
}

int64_t VideoWriter::ptsOf(const Picture& picture) {
    const AVRational base = encoder_->time_base;
    const int64_t step = std::max<int64_t>(1, av_rescale_q(1, nominalFrame(source_), base));
    int64_t pts = written_ == 0 ? 0 : lastPts_ + step;
    int64_t micros =
        written_ == 0 ? origin_ : lastMicros_ + av_rescale_q(step, base, AV_TIME_BASE_Q);
    if (picture.time != Picture::kNoTime && source_.timeBaseDen > 0) {
        micros = av_rescale_q(picture.time, AVRational{source_.timeBaseNum, source_.timeBaseDen},
                              AV_TIME_BASE_Q);
        if (useTimes_) pts = av_rescale_q(micros - origin_, AV_TIME_BASE_Q, base);
    }
    if (written_ > 0 && pts <= lastPts_) pts = lastPts_ + 1;  // encoders need rising times
    lastDuration_ = written_ == 0 ? 0 : micros - lastMicros_;
    lastMicros_ = micros;
    lastPts_ = pts;
    return pts;
}

void VideoWriter::write(const Picture& picture) {
    if (closed_) throw MediaError("cannot write to " + quotedPath(output_) + ": it is closed");
    if (picture.width != source_.width || picture.height != source_.height ||
        picture.rgba.size() != size_t(picture.width) * picture.height * 4)
        throw MediaError("picture of size " + std::to_string(picture.width) + "x" +
                         std::to_string(picture.height) + " does not fit " + quotedPath(output_));
    try {
        if (written_ == 0) chooseOrigin(picture);
        encode(picture);
        if (sources_) sources_->writeUntil(lastMicros_);
    } catch (...) {
        abandon();
        throw;
    }
}

void VideoWriter::encode(const Picture& picture) {
    AVFrame& f = *frame_;
    if (!f.buf[0]) {
        f.format = encoder_->pix_fmt;
        f.width = source_.width;
        f.height = source_.height;
        if (int err = av_frame_get_buffer(&f, 0); err < 0) fail("cannot write", err);
    }
    // The encoder may still hold the previous frame's buffer.
    if (int err = av_frame_make_writable(&f); err < 0) fail("cannot write", err);
    converter_->convert(picture, f);
    f.pts = ptsOf(picture);
    ++written_;
    f.color_range = encoder_->color_range;
    f.colorspace = encoder_->colorspace;
    if (int err = avcodec_send_frame(encoder_.get(), &f); err < 0) fail("cannot encode", err);
    drain();
}

// Moves every packet the encoder has ready into the file.
void VideoWriter::drain() {
    for (;;) {
        int err = avcodec_receive_packet(encoder_.get(), packet_.get());
        if (err == AVERROR(EAGAIN) || err == AVERROR_EOF) return;
        if (err < 0) fail("cannot encode", err);
        av_packet_rescale_ts(packet_.get(), encoder_->time_base, stream_->time_base);
        packet_->stream_index = stream_->index;
        err = av_interleaved_write_frame(format_.get(), packet_.get());
        if (err < 0) fail("cannot write", err);
    }
}

// Where the sound stops: all of it after a whole clip, else the end of the last frame.
int64_t VideoWriter::soundEnd() const {
    if (options_.wholeClip && written_ == source_.frameCount) return INT64_MAX;
    if (written_ == 0) return origin_;
    const int64_t nominal = av_rescale_q(1, nominalFrame(source_), AV_TIME_BASE_Q);
    return lastMicros_ + (lastDuration_ > 0 ? lastDuration_ : nominal);
}

void VideoWriter::finish() {
    if (closed_) return;
    try {
        complete();
    } catch (...) {
        abandon();
        throw;
    }
}

void VideoWriter::complete() {
    if (int err = avcodec_send_frame(encoder_.get(), nullptr); err < 0) fail("cannot encode", err);
    drain();
    if (sources_) sources_->finish(soundEnd());
    if (int err = av_write_trailer(format_.get()); err < 0) fail("cannot finish", err);
    if (!(format_->oformat->flags & AVFMT_NOFILE)) {
        if (int err = avio_closep(&format_->pb); err < 0) fail("cannot finish", err);
    }
    temp_->commit(options_.overwrite);
    closed_ = true;
}

void VideoWriter::abandon() {
    if (closed_) return;
    closed_ = true;
    format_.reset();  // closes the file before it is removed
    sources_.reset();
    if (temp_) temp_->discard();
}

}  // namespace ruvovav::media
