#include "stream_metadata.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <string>

namespace ruvovav::media {
namespace {

std::string lower(const char* text) {
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(),
                   [](unsigned char c) { return char(std::tolower(c)); });
    return out;
}

// Matroska's statistics tags carry a language suffix ("BPS-eng").
bool isStale(const char* key) {
    std::string name = lower(key);
    if (const size_t dash = name.find('-'); dash != std::string::npos) name.resize(dash);
    for (const char* stale :
         {"encoder", "major_brand", "minor_version", "compatible_brands", "vendor_id", "duration",
          "bps", "number_of_frames", "number_of_bytes"}) {
        if (name == stale) return true;
    }
    return name.rfind("_statistics", 0) == 0;
}

void copyDisplayMatrix(const AVStream& from, AVStream& to) {
    size_t size = 0;
    const uint8_t* matrix = av_stream_get_side_data(&from, AV_PKT_DATA_DISPLAYMATRIX, &size);
    if (!matrix || size < 9 * sizeof(int32_t)) return;
    if (uint8_t* copy = av_stream_new_side_data(&to, AV_PKT_DATA_DISPLAYMATRIX, size))
        std::memcpy(copy, matrix, size);
}

}  // namespace

void copyTags(const AVDictionary* from, AVDictionary** to) {
    const AVDictionaryEntry* tag = nullptr;
    while ((tag = av_dict_get(from, "", tag, AV_DICT_IGNORE_SUFFIX)) != nullptr) {
        if (!isStale(tag->key)) av_dict_set(to, tag->key, tag->value, 0);
    }
}

void copyVideoMetadata(const AVFormatContext& source, int videoStream, AVStream& output) {
    const AVStream& video = *source.streams[videoStream];
    copyTags(video.metadata, &output.metadata);
    output.disposition = video.disposition;
    copyDisplayMatrix(video, output);
    if (av_dict_get(output.metadata, "timecode", nullptr, 0)) return;
    for (unsigned i = 0; i < source.nb_streams; ++i) {
        const AVDictionaryEntry* timecode =
            av_dict_get(source.streams[i]->metadata, "timecode", nullptr, 0);
        if (timecode) {
            av_dict_set(&output.metadata, "timecode", timecode->value, 0);
            return;
        }
    }
}

}  // namespace ruvovav::media
