#include "av_handles.h"

#include <mutex>
#include <new>

extern "C" {
#include <libavutil/error.h>
#include <libavutil/log.h>
}

namespace ruvovav::media {

FramePtr allocFrame() {
    FramePtr frame(av_frame_alloc());
    if (!frame) throw std::bad_alloc();
    return frame;
}

PacketPtr allocPacket() {
    PacketPtr packet(av_packet_alloc());
    if (!packet) throw std::bad_alloc();
    return packet;
}

std::string avErrorText(int code) {
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof text);
    return text;
}

namespace {

struct FfmpegErrors {
    std::mutex mutex;
    int64_t count = 0;
    std::string last;
};

FfmpegErrors& ffmpegErrors() {
    static FfmpegErrors errors;
    return errors;
}

// FFmpeg's own complaints (a damaged packet, a file that ends early) are kept rather than
// printed among our messages: the reader turns them into one line for the user.
void recordFfmpegLog(void*, int level, const char* format, va_list arguments) {
    if (level > AV_LOG_ERROR) return;
    char text[512];
    std::vsnprintf(text, sizeof text, format, arguments);
    std::string message(text);
    while (!message.empty() && (message.back() == '\n' || message.back() == ' '))
        message.pop_back();
    FfmpegErrors& errors = ffmpegErrors();
    std::lock_guard lock(errors.mutex);
    ++errors.count;
    errors.last = message;
}

}  // namespace

void quietFfmpegLog() {
    static std::once_flag once;
    std::call_once(once, [] { av_log_set_callback(recordFfmpegLog); });
}

int64_t ffmpegErrorCount() {
    FfmpegErrors& errors = ffmpegErrors();
    std::lock_guard lock(errors.mutex);
    return errors.count;
}

std::string lastFfmpegError() {
    FfmpegErrors& errors = ffmpegErrors();
    std::lock_guard lock(errors.mutex);
    return errors.last;
}

}  // namespace ruvovav::media
