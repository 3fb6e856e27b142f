// The metadata a denoised copy keeps from its source: the tags of the file and of each
// stream (creation time, language, title, timecode, ...), the video's rotation, and the
// streams' dispositions. What names the old encoder or muxer, or counts the old streams'
// bytes, is left behind: it would be false of the new file.
#pragma once

extern "C" {
#include <libavformat/avformat.h>
}

namespace ruvovav::media {

// Tags of `from` that stay true of a re-encoded copy, added to `to`.
void copyTags(const AVDictionary* from, AVDictionary** to);

// Tags, disposition and rotation of the source's video stream onto the output's, and a
// timecode kept on a separate timecode track onto the video stream, where muxers look for it.
void copyVideoMetadata(const AVFormatContext& source, int videoStream, AVStream& output);

}  // namespace ruvovav::media
