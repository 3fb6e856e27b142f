// What becomes of each stream of a source besides its video when a video file is written:
// copied as it is where the output container takes its codec, re-encoded to a lossless or
// high-quality codec the container does take, or left out with the reason.
#pragma once

#include <string>
#include <vector>

extern "C" {
#include <libavformat/avformat.h>
}

namespace ruvovav::media {

enum class StreamAction { Copy, Encode, Drop };

struct StreamPlan {
    int sourceIndex = -1;
    StreamAction action = StreamAction::Drop;
    std::string encoder;    // libavcodec name, for Encode
    int bitsPerSample = 0;  // depth the encoder keeps (PCM, FLAC); 0: its own
    std::string note;       // one line for the user when the stream is not simply copied
};

// Every stream of `source` except `videoStream`, for the muxer `muxer`. Sound is left out
// when `withAudio` is false, with a note giving `audioLeftOut` as the reason unless that is
// empty. Timecode tracks are left out silently: their timecode travels as metadata of the
// video stream.
std::vector<StreamPlan> planStreams(const AVFormatContext& source, int videoStream,
                                    const AVOutputFormat& muxer, bool withAudio,
                                    const std::string& audioLeftOut);

// True when `muxer` writes a stream of these parameters: FFmpeg's own check, confirmed by
// writing a header into nowhere. Codecs FFmpeg stores only under a private mapping that
// other players do not read (Vorbis in MP4 and QuickTime) count as not taken.
bool muxerTakes(const AVOutputFormat& muxer, const AVCodecParameters& parameters);

}  // namespace ruvovav::media
