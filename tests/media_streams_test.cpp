// What travels beside the denoised pictures: sound (copied where the container takes its
// codec, re-encoded where it does not, left out when asked), subtitles, metadata (creation
// time, title, language, timecode, rotation) and each frame's own time. Sources are made by
// the independent ffmpeg tool and the outputs read back with ffprobe; pictures pass through
// unchanged, as from a denoiser that changes nothing.
#include <cmath>
#include <fstream>
#include <sstream>

extern "C" {
#include <libavformat/avformat.h>
#include <libavutil/display.h>
}

#include "media/media_reader.h"
#include "media/media_writer.h"
#include "media_files.h"

namespace {

namespace fs = std::filesystem;
using namespace ruvovav::media;
using media_files::ffmpeg;
using media_files::output;
using media_files::probe;
using media_files::TempFolder;

// Twelve frames at 24 per second (half a second) of a test card and half a second of stereo
// sine sound, coded by `audio` ("-c:a flac"), with `extra` output options.
bool makeSource(const fs::path& file, const std::string& audio, const std::string& extra = "",
                const std::string& moreInputs = "") {
    return ffmpeg("-f lavfi -i testsrc2=s=64x48:r=24 -f lavfi -i sine=f=440:r=48000 " + moreInputs +
                  " -t 0.5 -ac 2 -c:v ffv1 " + audio + " " + extra + " '" + file.string() + "'");
}

struct Transfer {
    int first = 0;            // frame the output starts at
    int written = -1;         // frames written; -1: to the end
    bool declareAll = false;  // tell the writer the whole clip is coming (then stop early)
};

// Every frame of `source` read and written again to `out`, with the source's other streams;
// the notes the writer gave.
std::vector<std::string> transfer(const fs::path& source, const fs::path& out,
                                  WriterOptions options = {}, Transfer t = {}) {
    auto reader = MediaReader::open(source);
    VideoInfo info = reader->info();
    const int64_t written = t.written < 0 ? info.frameCount - t.first : t.written;
    if (!t.declareAll) info.frameCount = written;
    std::vector<std::string> notes;
    options.source = source;
    options.wholeClip = t.first == 0;
    options.notice = [&](const std::string& line) { notes.push_back(line); };
    auto writer = MediaWriter::create(out, info, options);
    Picture picture;
    for (int64_t i = t.first; i < t.first + written; ++i) {
        EXPECT_TRUE(reader->read(i, picture)) << i;
        writer->write(picture);
    }
    writer->finish();
    return notes;
}

std::string audioCodec(const fs::path& file) {
    return probe(file, "stream=codec_name", "a");
}

// The coded sound's bytes, packet by packet, whatever the container.
std::string soundPackets(const fs::path& file) {
    return output("ffmpeg -v error -i '" + file.string() +
                  "' -map 0:a -c copy -f streamhash -hash md5 -");
}

// The decoded sound as 16-bit samples: its hash, and how many there are.
std::string decodedSound(const fs::path& file) {
    return output("ffmpeg -v error -i '" + file.string() + "' -map 0:a -f s16le - | md5sum");
}
double decodedSeconds(const fs::path& file) {
    const std::string bytes = output("ffmpeg -v error -i '" + file.string() +
                                     "' -map 0:a -ac 1 -ar 48000 -f s16le - | wc -c");
    return std::stod(bytes) / 2 / 48000;
}

// The source's codec and the output's name, as a test name: "aacamov".
template <typename Case>
std::string caseName(const testing::TestParamInfo<Case>& info) {
    std::string name;
    for (char ch : info.param.audio.substr(5) + info.param.output)
        if (std::isalnum(static_cast<unsigned char>(ch))) name += ch;
    return name;
}

struct Copy {
    std::string audio;  // ffmpeg's arguments for the source's sound
    std::string output;
};

void PrintTo(const Copy& c, std::ostream* os) {
    *os << c.audio << " into " << c.output;
}

class SoundCopy : public testing::TestWithParam<Copy> {};

// Copied means what ffmpeg's own copy into the same container gives: the same packets and
// the same decoded samples (a lossy codec coded again would decode to others), and not a
// word about it. The reference matters where containers differ in how they mark a codec's
// start-up samples (Opus in MP4) or cut packets (MP3 in AVI).
TEST_P(SoundCopy, KeepsTheCodedSoundWhereTheContainerTakesTheCodec) {
    TempFolder folder;
    const fs::path source = folder / "source.mkv";
    ASSERT_TRUE(makeSource(source, GetParam().audio));
    const fs::path reference =
        folder / ("reference" + fs::path(GetParam().output).extension().string());
    ASSERT_TRUE(
        ffmpeg("-i '" + source.string() + "' -map 0:a -c copy '" + reference.string() + "'"));
    const fs::path out = folder / GetParam().output;
    EXPECT_TRUE(transfer(source, out).empty());
    EXPECT_EQ(audioCodec(out), audioCodec(source));
    EXPECT_EQ(soundPackets(out), soundPackets(reference));
    EXPECT_EQ(decodedSound(out), decodedSound(reference));
    EXPECT_EQ(MediaReader::open(out)->info().frameCount, 12);
}

INSTANTIATE_TEST_SUITE_P(
    Containers, SoundCopy,
    testing::Values(Copy{"-c:a aac", "a.mov"}, Copy{"-c:a aac", "a.mp4"}, Copy{"-c:a aac", "a.mkv"},
                    Copy{"-c:a flac", "a.mkv"}, Copy{"-c:a pcm_s16le", "a.mov"},
                    Copy{"-c:a pcm_s24le", "a.avi"}, Copy{"-c:a libopus", "a.mp4"},
                    Copy{"-c:a libmp3lame", "a.avi"}, Copy{"-c:a ac3", "a.mp4"}),
    caseName<Copy>);

struct Reencode {
    std::string audio;
    std::string output;
    std::string codec;  // what the container gets instead
    bool lossless;      // the decoded samples stay the same
};

void PrintTo(const Reencode& r, std::ostream* os) {
    *os << r.audio << " into " << r.output;
}

class SoundReencode : public testing::TestWithParam<Reencode> {};

// One line says what happened; the sound lasts as long as before (to an AAC frame, 1024
// samples, and Opus's 20 ms packets), and lossless targets keep every sample.
TEST_P(SoundReencode, UsesACodecTheContainerTakesAndSaysSo) {
    const Reencode& r = GetParam();
    TempFolder folder;
    const fs::path source = folder / "source.mkv";
    ASSERT_TRUE(makeSource(source, r.audio));
    const fs::path out = folder / r.output;
    const std::vector<std::string> notes = transfer(source, out);
    ASSERT_EQ(notes.size(), 1u);
    EXPECT_NE(notes[0].find("re-encoded to " + r.codec), std::string::npos) << notes[0];
    EXPECT_NE(notes[0].find(audioCodec(source)), std::string::npos) << notes[0];
    EXPECT_EQ(audioCodec(out), r.codec);
    EXPECT_NEAR(decodedSeconds(out), decodedSeconds(source), 0.03);
    if (r.lossless) {
        EXPECT_EQ(decodedSound(out), decodedSound(source));
    }
}

INSTANTIATE_TEST_SUITE_P(Containers, SoundReencode,
                         testing::Values(Reencode{"-c:a libvorbis", "a.mp4", "aac", false},
                                         Reencode{"-c:a flac", "a.mp4", "aac", false},
                                         Reencode{"-c:a pcm_s24le", "a.mp4", "aac", false},
                                         Reencode{"-c:a libopus", "a.mov", "pcm_s24le", false},
                                         Reencode{"-c:a flac", "a.mov", "pcm_s16le", true},
                                         Reencode{"-c:a libvorbis", "a.mov", "pcm_s24le", false},
                                         Reencode{"-c:a libopus", "a.avi", "pcm_s24le", false},
                                         Reencode{"-c:a alac", "a.avi", "pcm_s16le", true}),
                         caseName<Reencode>);

TEST(Sound, IsLeftOutWhereTheContainerHoldsNoneOrWhenAsked) {
    TempFolder folder;
    const fs::path source = folder / "source.mkv";
    ASSERT_TRUE(makeSource(source, "-c:a aac"));
    std::vector<std::string> notes = transfer(source, folder / "a.y4m");
    ASSERT_EQ(notes.size(), 1u);
    EXPECT_NE(notes[0].find("left out"), std::string::npos) << notes[0];

    notes = transfer(source, folder / "quiet.mkv", {.audio = false});
    EXPECT_TRUE(notes.empty()) << "--no-audio is its own answer";
    EXPECT_EQ(audioCodec(folder / "quiet.mkv"), "");

    notes = transfer(source, folder / "chunk.mkv", {.audio = false, .audioLeftOut = "a chunk"});
    ASSERT_EQ(notes.size(), 1u);
    EXPECT_NE(notes[0].find("a chunk"), std::string::npos) << notes[0];
    EXPECT_EQ(audioCodec(folder / "chunk.mkv"), "");
}

// A job stopped early, or a range, carries the sound of its frames only (to a packet, here
// 1024 samples of AAC, 21 ms); pictures and sound of a range both start at 0.
TEST(Sound, SpansTheFramesWritten) {
    TempFolder folder;
    const fs::path source = folder / "source.mkv";
    ASSERT_TRUE(makeSource(source, "-c:a aac"));
    transfer(source, folder / "stopped.mkv", {}, {.written = 6, .declareAll = true});
    EXPECT_NEAR(decodedSeconds(folder / "stopped.mkv"), 0.25, 0.03);

    transfer(source, folder / "range.mov", {}, {.first = 6});
    EXPECT_NEAR(decodedSeconds(folder / "range.mov"), 0.25, 0.03);
    EXPECT_NEAR(std::stod(probe(folder / "range.mov", "stream=start_time", "v")), 0.0, 1e-3);
    EXPECT_NEAR(std::stod(probe(folder / "range.mov", "stream=start_time", "a")), 0.0, 0.03);
}

TEST(Subtitles, ComeAlongWhereTheContainerTakesThem) {
    TempFolder folder;
    std::ofstream(folder / "words.srt") << "1\n00:00:00,100 --> 00:00:00,400\nhello\n";
    const fs::path source = folder / "source.mkv";
    ASSERT_TRUE(makeSource(source, "-c:a aac", "-c:s srt -map 0 -map 1 -map 2",
                           "-i '" + (folder / "words.srt").string() + "'"));
    EXPECT_TRUE(transfer(source, folder / "a.mkv").empty());
    EXPECT_EQ(probe(folder / "a.mkv", "stream=codec_name", "s"), "subrip");
    const std::vector<std::string> notes = transfer(source, folder / "a.mp4");
    ASSERT_EQ(notes.size(), 1u);
    EXPECT_NE(notes[0].find("subrip"), std::string::npos) << notes[0];
}

// A camera file's metadata comes through as far as each container holds it: QuickTime and
// MP4 keep the timecode on a timecode track, Matroska as a tag; AVI keeps the title only.
TEST(Metadata, CreationTimeTitleLanguageAndTimecodeComeThrough) {
    TempFolder folder;
    const fs::path source = folder / "camera.mov";
    ASSERT_TRUE(makeSource(source, "-c:a aac",
                           "-timecode 01:02:03:04 -metadata creation_time=2020-05-06T07:08:09Z "
                           "-metadata title=Harbour -metadata:s:v:0 language=eng "
                           "-metadata:s:a:0 language=fra"));
    for (const std::string name : {"a.mkv", "a.mov", "a.mp4"}) {
        const fs::path out = folder / name;
        transfer(source, out);
        EXPECT_EQ(probe(out, "format_tags=title"), "Harbour") << name;
        EXPECT_EQ(probe(out, "format_tags=creation_time").substr(0, 19), "2020-05-06T07:08:09")
            << name;
        EXPECT_EQ(probe(out, "stream_tags=language", "v"), "eng") << name;
        EXPECT_EQ(probe(out, "stream_tags=language", "a"), "fra") << name;
        EXPECT_EQ(probe(out, "stream_tags=timecode", "v"), "01:02:03:04") << name;
    }
    transfer(source, folder / "a.avi");
    EXPECT_EQ(probe(folder / "a.avi", "format_tags=title"), "Harbour");
}

// A copy of `from` whose video stream carries a display matrix turned by `degrees`: ffmpeg's
// command line of this version cannot set one.
void remuxRotated(const fs::path& from, const fs::path& to, double degrees) {
    AVFormatContext* in = nullptr;
    ASSERT_EQ(avformat_open_input(&in, from.c_str(), nullptr, nullptr), 0);
    ASSERT_GE(avformat_find_stream_info(in, nullptr), 0);
    AVFormatContext* out = nullptr;
    ASSERT_GE(avformat_alloc_output_context2(&out, nullptr, nullptr, to.c_str()), 0);
    for (unsigned i = 0; i < in->nb_streams; ++i) {
        AVStream* s = avformat_new_stream(out, nullptr);
        avcodec_parameters_copy(s->codecpar, in->streams[i]->codecpar);
        s->codecpar->codec_tag = 0;
        s->time_base = in->streams[i]->time_base;
        if (s->codecpar->codec_type != AVMEDIA_TYPE_VIDEO) continue;
        auto* matrix = reinterpret_cast<int32_t*>(
            av_stream_new_side_data(s, AV_PKT_DATA_DISPLAYMATRIX, 9 * sizeof(int32_t)));
        av_display_rotation_set(matrix, degrees);
    }
    ASSERT_GE(avio_open(&out->pb, to.c_str(), AVIO_FLAG_WRITE), 0);
    ASSERT_GE(avformat_write_header(out, nullptr), 0);
    AVPacket* packet = av_packet_alloc();
    while (av_read_frame(in, packet) >= 0) {
        av_packet_rescale_ts(packet, in->streams[packet->stream_index]->time_base,
                             out->streams[packet->stream_index]->time_base);
        av_interleaved_write_frame(out, packet);
    }
    av_write_trailer(out);
    av_packet_free(&packet);
    avio_closep(&out->pb);
    avformat_free_context(out);
    avformat_close_input(&in);
}

TEST(Metadata, RotationComesThroughOrIsToldLost) {
    TempFolder folder;
    ASSERT_TRUE(makeSource(folder / "upright.mov", "-c:a aac"));
    remuxRotated(folder / "upright.mov", folder / "phone.mov", 90);
    ASSERT_EQ(probe(folder / "phone.mov", "stream_side_data=rotation", "v"), "-90");
    for (const std::string name : {"a.mov", "a.mp4"}) {
        EXPECT_TRUE(transfer(folder / "phone.mov", folder / name).empty()) << name;
        EXPECT_EQ(probe(folder / name, "stream_side_data=rotation", "v"), "-90") << name;
    }
    const std::vector<std::string> notes = transfer(folder / "phone.mov", folder / "a.mkv");
    ASSERT_EQ(notes.size(), 1u);
    EXPECT_NE(notes[0].find("rotation"), std::string::npos) << notes[0];
}

std::vector<double> frameTimes(const fs::path& file) {
    std::istringstream lines(probe(file, "frame=pts_time", "v"));
    std::vector<double> times;
    for (std::string line; std::getline(lines, line);) times.push_back(std::stod(line));
    return times;
}

// Frames shown for different lengths keep their times where the container stores each
// frame's time; AVI knows one rate only and gets the nominal one.
TEST(FrameTimes, VariableRatesComeThrough) {
    TempFolder folder;
    const fs::path source = folder / "vfr.mkv";
    ASSERT_TRUE(
        ffmpeg("-f lavfi -i testsrc2=s=64x48:r=24 -frames:v 8 "
               "-vf setpts='(N+N*N/4)/24/TB' -vsync vfr -c:v ffv1 '" +
               source.string() + "'"));
    const std::vector<double> times = frameTimes(source);
    ASSERT_EQ(times.size(), 8u);
    ASSERT_GT(times[7] - times[6], 2 * (times[1] - times[0])) << "the source's rate varies";
    for (const std::string name : {"a.mkv", "a.mov", "a.mp4"}) {
        transfer(source, folder / name);
        const std::vector<double> kept = frameTimes(folder / name);
        ASSERT_EQ(kept.size(), times.size()) << name;
        for (size_t i = 0; i < times.size(); ++i) EXPECT_NEAR(kept[i], times[i], 1e-3) << name;
    }
    transfer(source, folder / "a.avi");
    const std::vector<double> nominal = frameTimes(folder / "a.avi");
    ASSERT_EQ(nominal.size(), times.size());
    const auto info = MediaReader::open(source)->info();
    for (size_t i = 0; i < nominal.size(); ++i)
        EXPECT_NEAR(nominal[i], double(i) * info.rateDen / info.rateNum, 1e-3);
}

}  // namespace
