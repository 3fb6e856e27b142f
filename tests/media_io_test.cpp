// Reading and writing video files, image sequences and single images: round trips, files
// made by the independent ffmpeg tool (read back with ffprobe), frame-accurate random access,
// outputs that appear only when complete, a full disk, and the sound, subtitles, metadata and
// frame times that travel beside the pictures.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <random>
#include <sstream>

#include "media/media_error.h"
#include "media/media_reader.h"
#include "media/media_writer.h"
#include "media_files.h"

namespace fs = std::filesystem;
using namespace ruvovav::media;

namespace {

using media_files::ffmpeg;
using media_files::output;
using media_files::probe;
using media_files::TempFolder;

// Frame `index` of a test clip: red and green gradients, blue changing per frame, alpha
// stepping through 0, 1/4 .. 1 (straight alpha: colour under alpha 0 must survive). Values lie
// on the grid of `levels` steps so that lossless formats give them back exactly.
Picture pattern(int width, int height, int index, bool alpha, double levels) {
    Picture p{width, height, std::vector<float>(size_t(width) * height * 4)};
    const auto onGrid = [levels](double v) { return float(std::round(v * levels) / levels); };
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            float* px = &p.rgba[(size_t(y) * width + x) * 4];
            px[0] = onGrid(double(x) / (width - 1));
            px[1] = onGrid(double(y) / (height - 1));
            px[2] = onGrid(0.2 + 0.15 * index);
            px[3] = alpha ? onGrid((x % 5) / 4.0) : 1.0f;
        }
    }
    return p;
}

// Largest difference over pixels whose alpha is at least `minAlpha` (premultiplied formats
// cannot keep the colour of fully transparent pixels).
float maxError(const Picture& a, const Picture& b, float minAlpha = 0.0f) {
    float worst = 0;
    for (size_t i = 0; i < a.rgba.size(); i += 4) {
        if (a.rgba[i + 3] < minAlpha) continue;
        for (int c = 0; c < 4; ++c)
            worst = std::max(worst, std::abs(a.rgba[i + c] - b.rgba[i + c]));
    }
    return worst;
}

// Over every channel, alpha included, peak 1; 200 for equal pictures.
double psnr(const Picture& a, const Picture& b) {
    double sum = 0;
    for (std::size_t i = 0; i < a.rgba.size(); ++i) sum += std::pow(a.rgba[i] - b.rgba[i], 2);
    return sum == 0 ? 200.0 : 10 * std::log10(double(a.rgba.size()) / sum);
}

// The message of the MediaError that `action` throws, or "(no MediaError)".
template <typename F>
std::string errorOf(F&& action) {
    try {
        action();
    } catch (const MediaError& error) {
        return error.what();
    }
    return "(no MediaError)";
}

// Letters and digits only, as a test case's name.
std::string caseName(const std::string& text) {
    std::string name;
    for (char ch : text)
        if (std::isalnum(static_cast<unsigned char>(ch))) name += ch;
    return name;
}

// 64 x 48 at 24000/1001 per second; `frames` 0: not known beforehand.
VideoInfo sourceInfo(int bitDepth, bool alpha, bool isFloat = false, int64_t frames = 0) {
    return {64, 48, 24000, 1001, frames, "", "", bitDepth, isFloat, alpha, 0, 0};
}

struct RoundTrip {
    std::string output;  // file name, or a pattern for sequences
    std::string codec;
    int sourceDepth;  // float for EXR
    bool alpha;       // the source has alpha
    bool keepsAlpha;  // the format stores it
    int storedDepth;  // bit depth the reader reports
    double maxError;  // > 0: lossless up to this; 0: lossy, judged by minPsnr
    double minPsnr;
};

class RoundTripTest : public testing::TestWithParam<RoundTrip> {};

TEST_P(RoundTripTest, KeepsSizeRateCountDepthAlphaAndPictures) {
    const RoundTrip& c = GetParam();
    const bool exr = c.output.ends_with(".exr");  // float, premultiplied: see the tolerances
    TempFolder folder;
    const VideoInfo source = sourceInfo(c.sourceDepth, c.alpha, exr);
    const double levels = c.sourceDepth <= 8 ? 255.0 : 65535.0;
    constexpr int kFrames = 3;
    {
        auto writer = MediaWriter::create(folder / c.output, source, {.codec = c.codec});
        for (int i = 0; i < kFrames; ++i) writer->write(pattern(64, 48, i, c.alpha, levels));
        writer->finish();
    }
    auto reader = MediaReader::open(folder / c.output);
    const VideoInfo& info = reader->info();
    EXPECT_EQ(info.width, 64);
    EXPECT_EQ(info.height, 48);
    EXPECT_EQ(info.frameCount, kFrames);
    EXPECT_EQ(info.hasAlpha, c.keepsAlpha);
    EXPECT_EQ(info.bitDepth, c.storedDepth);
    if (c.output.find('%') == std::string::npos) {
        EXPECT_EQ(double(info.rateNum) / info.rateDen, 24000.0 / 1001.0);
    }
    Picture picture;
    for (int i = 0; i < kFrames; ++i) {
        ASSERT_TRUE(reader->read(i, picture)) << "frame " << i;
        ASSERT_EQ(picture.width, 64);
        ASSERT_EQ(picture.height, 48);
        Picture expected = pattern(64, 48, i, c.alpha && c.keepsAlpha, levels);
        if (c.maxError > 0)
            EXPECT_LE(maxError(expected, picture, exr ? 0.25f : 0), c.maxError) << "frame " << i;
        else
            EXPECT_GE(psnr(expected, picture), c.minPsnr) << "frame " << i;
    }
    EXPECT_FALSE(reader->read(kFrames, picture));
}

// FFmpeg decodes ProRes 4444 at 12 bits, so that is the depth the reader reports for it.
// Tolerances: a 16-bit store rounds to 1/65535, so values on that grid come back within float
// precision; half floats keep 11 significant bits (relative error 2^-11), and EXR's premultiplied
// colour divided by alpha >= 1/4 again can double that.
// PSNR floors, against a source on a smooth gradient: 8-bit YUV 4:4:4 quantisation alone gives
// about 50 dB; 16-bit YUV, through swscale's 15-bit intermediates, stays above 70 dB; ProRes
// HQ/4444 and H.264/H.265 at crf 18/20 on such content land well above 40 dB, and 4:2:0 chroma on
// gradients costs little. A wrong matrix or range drops any of them below 30 dB.
constexpr double kExact16 = 0.25 / 65535;
INSTANTIATE_TEST_SUITE_P(
    Formats, RoundTripTest,
    testing::Values(RoundTrip{"deep.mkv", "", 16, true, true, 16, kExact16, 0},
                    RoundTrip{"plain.mkv", "", 8, false, false, 8, 0.25 / 255, 0},
                    RoundTrip{"alpha8.mkv", "", 8, true, true, 8, 0.25 / 255, 0},
                    RoundTrip{"deep.avi", "", 10, false, false, 16, kExact16, 0},
                    RoundTrip{"hq.mov", "", 10, false, false, 10, 0, 42},
                    RoundTrip{"alpha.mov", "", 16, true, true, 12, 0, 42},
                    RoundTrip{"plain.mp4", "", 8, true, false, 8, 0, 38},
                    RoundTrip{"deep.mp4", "", 10, false, false, 10, 0, 40},
                    RoundTrip{"hevc.mp4", "h265", 10, false, false, 10, 0, 40},
                    RoundTrip{"hevc8.mkv", "hevc", 8, false, false, 8, 0, 38},
                    RoundTrip{"plain.y4m", "", 8, false, false, 8, 0, 45},
                    RoundTrip{"deep.y4m", "", 16, false, false, 16, 0, 70},
                    RoundTrip{"png/%04d.png", "", 16, true, true, 16, kExact16, 0},
                    RoundTrip{"tif/f%03d.tif", "", 16, false, false, 16, kExact16, 0},
                    RoundTrip{"dpx/%04d.dpx", "", 16, true, true, 16, kExact16, 0},
                    RoundTrip{"exr/%d.exr", "", 16, true, true, 16, 2.0 / 1024, 0}),
    [](const auto& info) { return caseName(info.param.output + info.param.codec); });

// The colour source is made to give RGB, so that every file below starts from exact RGB values.
const std::string kColour = "-f lavfi -i color=c=0x804020:s=64x48:r=24,format=rgb24 -frames:v 3 ";

// ffmpeg's own RGB -> YUV step and the coder may each leave Y, Cb and Cr one code value off; one
// code value of Cb moves blue by 1.86, so 8-bit YUV inputs are held to 3.5/255. Decoding with
// the wrong range or matrix would be 7/255 or more off; 10-bit ProRes is four times finer.
TEST(ReadsFfmpegOutput, SolidColourThroughEachCodec) {
    TempFolder folder;
    struct Input {
        std::string name, arguments, codec;
        float tolerance;
    };
    const Input inputs[] = {
        {"limited.mp4", kColour + "-c:v libx264 -pix_fmt yuv420p", "h264", 3.5f / 255},
        {"full709.mkv",
         kColour + "-vf scale=out_color_matrix=bt709:out_range=full,format=yuv420p"
                   " -colorspace bt709 -color_range pc -c:v libx264",
         "h264", 3.5f / 255},
        {"prores.mov", kColour + "-c:v prores_ks -profile:v hq -pix_fmt yuv422p10le", "prores",
         1.5f / 255},
        {"raw.y4m", kColour + "-pix_fmt yuv444p", "rawvideo", 3.5f / 255},
        // DNxHR's smallest frame is 256x120; its stream says BT.709, so the colour is made so.
        {"dnxhr.mov",
         "-f lavfi -i color=c=0x804020:s=256x144:r=24,format=rgb24 -frames:v 3"
         " -vf scale=out_color_matrix=bt709,format=yuv422p -c:v dnxhd -profile:v dnxhr_hq",
         "dnxhd", 3.5f / 255},
    };
    for (const Input& in : inputs) {  // the colour given to ffmpeg, whatever way through YUV
        ASSERT_TRUE(ffmpeg(in.arguments + " " + (folder / in.name).string()));
        auto reader = MediaReader::open(folder / in.name);
        EXPECT_EQ(reader->info().codec, in.codec);
        EXPECT_EQ(reader->info().frameCount, 3);
        EXPECT_EQ(reader->info().rateNum * 1.0 / reader->info().rateDen, 24.0);
        Picture p;
        for (int i = 0; i < 3; ++i) {
            ASSERT_TRUE(reader->read(i, p));
            const float* centre = &p.rgba[(size_t(p.height / 2) * p.width + p.width / 2) * 4];
            EXPECT_NEAR(centre[0], 128 / 255.0, in.tolerance) << in.name;
            EXPECT_NEAR(centre[1], 64 / 255.0, in.tolerance) << in.name;
            EXPECT_NEAR(centre[2], 32 / 255.0, in.tolerance) << in.name;
            EXPECT_EQ(centre[3], 1.0f) << in.name;
        }
    }
}

// geq writes these 16-bit values straight into the planes; PNG keeps them exactly. The sequence
// starts at 7: the reader must find its first number by itself. A sequence stops at its first
// gap, and one of its images read alone is a single image.
TEST(ReadsSequences, SixteenBitPngsExactlyStoppingAtTheFirstGapOrAlone) {
    TempFolder folder;
    ASSERT_TRUE(
        ffmpeg("-f lavfi -i color=s=64x48:r=24,format=gbrp16le,geq=r=40000:g=1234:b=65535"
               " -frames:v 3 -pix_fmt rgb48be -start_number 7 " +
               (folder / "%04d.png").string()));
    fs::rename(folder / "0009.png", folder / "0010.png");  // frames 7, 8, then a gap
    auto reader = MediaReader::open(folder / "%04d.png");
    EXPECT_EQ(reader->info().codec, "png");
    EXPECT_EQ(reader->info().bitDepth, 16);
    EXPECT_FALSE(reader->info().hasAlpha);
    EXPECT_EQ(reader->info().frameCount, 2);
    EXPECT_EQ(reader->info().rateNum, 25);  // sequences carry no rate of their own
    Picture picture;
    ASSERT_TRUE(reader->read(1, picture));
    EXPECT_NEAR(picture.rgba[0], 40000 / 65535.0, 1e-7);
    EXPECT_NEAR(picture.rgba[1], 1234 / 65535.0, 1e-7);
    EXPECT_EQ(picture.rgba[2], 1.0f);
    EXPECT_EQ(picture.rgba[3], 1.0f);
    auto single = MediaReader::open(folder / "0010.png");
    EXPECT_EQ(single->info().frameCount, 1);
    ASSERT_TRUE(single->read(0, picture));
    EXPECT_NEAR(picture.rgba[0], 40000 / 65535.0, 1e-7);
}

// A moving test card with frame numbers; keyframes every 12 frames, B-frames, and for H.265
// open GOPs, whose leading pictures depend on the previous GOP.
TEST(RandomAccess, FrameNAfterAJumpEqualsFrameNInOrder) {
    TempFolder folder;
    const std::string card = "-f lavfi -i testsrc2=s=64x48:r=25 -frames:v 40 ";
    const std::pair<std::string, std::string> inputs[] = {
        {"h264.mp4", "-c:v libx264 -g 12 -bf 3"},
        {"hevc.mkv", "-c:v libx265 -x265-params keyint=12:open-gop=1:log-level=error"},
        {"prores.mov", "-c:v prores_ks"},
        {"ffv1.avi", "-c:v ffv1"},
        {"raw.y4m", "-pix_fmt yuv420p"},
        {"%03d.png", ""}};
    for (const auto& [name, codec] : inputs) {  // every frame in order, then jumps around
        ASSERT_TRUE(ffmpeg(card + codec + " " + (folder / name).string()));
        std::vector<Picture> sequential(40);
        auto reader = MediaReader::open(folder / name);
        ASSERT_EQ(reader->info().frameCount, 40);
        for (int i = 0; i < 40; ++i) ASSERT_TRUE(reader->read(i, sequential[i]));
        EXPECT_EQ(reader->decodedFrames(), 40) << "each frame decoded exactly once";
        Picture picture;
        EXPECT_FALSE(reader->read(40, picture));
        EXPECT_FALSE(reader->read(-1, picture));
        reader = MediaReader::open(folder / name);
        for (int index : {37, 10, 11, 39, 0, 30, 29, 31, 38, 20, 20, 5}) {
            ASSERT_TRUE(reader->read(index, picture)) << index;
            EXPECT_TRUE(picture.rgba == sequential[index].rgba) << name << " frame " << index;
        }
    }
}

TEST(WriteErrors, RefusesUnknownTypesExistingOutputsAndBadSizes) {
    TempFolder folder;
    const VideoInfo source = sourceInfo(8, false);
    VideoInfo twoFrames = source;
    twoFrames.frameCount = 2;  // a single image takes one; the line says how to name a sequence
    const std::string refusal =
        errorOf([&] { MediaWriter::create(folder / "still.png", twoFrames, {}); });
    EXPECT_NE(refusal.find("single image"), std::string::npos) << refusal;
    EXPECT_NE(refusal.find("still_%04d.png"), std::string::npos) << refusal;
    EXPECT_NE(errorOf([&] {
                  MediaWriter::create(folder / "x.mkv", source, {.codec = "vp9"});
              }).find("unknown codec 'vp9'"),
              std::string::npos);

    std::ofstream(folder / "out.mkv") << "old";
    EXPECT_EQ(errorOf([&] { MediaWriter::create(folder / "out.mkv", source, {}); }),
              quotedPath(folder / "out.mkv") + " exists (use -y to overwrite)");
    EXPECT_EQ(fs::file_size(folder / "out.mkv"), 3u);
    auto overwriting = MediaWriter::create(folder / "out.mkv", source, {.overwrite = true});
    overwriting->write(pattern(64, 48, 0, false, 255));
    overwriting->finish();
    EXPECT_GT(fs::file_size(folder / "out.mkv"), 3u);

    // A sequence refuses only the images it would write: 0..4 holds 3, 4..8 does not.
    std::ofstream(folder / "0003.png") << "old";
    VideoInfo fiveFrames = source;
    fiveFrames.frameCount = 5;
    EXPECT_NE(errorOf([&] {
                  MediaWriter::create(folder / "%04d.png", fiveFrames, {});
              }).find("0003.png' exists (use -y to overwrite)"),
              std::string::npos);
    EXPECT_EQ(
        errorOf([&] {
            MediaWriter::create(folder / "%04d.png", fiveFrames, {.startNumber = 4})->abandon();
        }),
        "(no MediaError)");

    VideoInfo bad = source;
    bad.width = 0;
    EXPECT_NE(errorOf([&] { MediaWriter::create(folder / "a.mkv", bad, {}); }), "(no MediaError)");
    bad.width = 20000;
    EXPECT_NE(errorOf([&] { MediaWriter::create(folder / "a.mkv", bad, {}); }), "(no MediaError)");
    bad = source;
    bad.width = 63;  // 4:2:0 chroma needs even sizes
    EXPECT_NE(errorOf([&] { MediaWriter::create(folder / "a.mp4", bad, {}); }).find("63x48"),
              std::string::npos);
    EXPECT_FALSE(fs::exists(folder / "a.mkv"));
    EXPECT_FALSE(fs::exists(folder / "a.mp4"));
}

struct Still {
    std::string name;
    int sourceDepth;
    bool sourceFloat;
    bool alpha;
    float maxError;  // > 0: kept up to this; 0: lossy (JPEG, which keeps no alpha), by PSNR
};

class SingleImage : public testing::TestWithParam<Still> {};

// The image keeps the source's depth where the type can hold it: 8 stays 8, 10-bit DPX stays
// 10-bit, float stays float, and values on that depth's grid come back exactly. Half floats
// keep 11 significant bits, so values up to 1 are within 2^-11.
TEST_P(SingleImage, KeepsTheSourceDepthAndItsValues) {
    const Still& s = GetParam();
    const double levels = s.sourceDepth == 8 ? 255 : s.sourceDepth == 10 ? 1023 : 65535;
    const bool keepsAlpha = s.alpha && s.maxError > 0;
    TempFolder folder;
    const Picture picture = pattern(64, 48, 0, s.alpha, levels);
    auto writer = MediaWriter::create(folder / s.name,
                                      sourceInfo(s.sourceDepth, s.alpha, s.sourceFloat, 1), {});
    writer->write(picture);
    EXPECT_NE(errorOf([&] { writer->write(picture); }).find("single image"), std::string::npos);
    writer->finish();
    EXPECT_EQ(folder.names(), std::vector<std::string>{s.name}) << "no temporary file is left";

    auto reader = MediaReader::open(folder / s.name);
    EXPECT_EQ(reader->info().frameCount, 1);
    EXPECT_EQ(reader->info().bitDepth, s.sourceDepth);
    EXPECT_EQ(reader->info().isFloat, s.sourceFloat);
    EXPECT_EQ(reader->info().hasAlpha, keepsAlpha);
    Picture back;
    ASSERT_TRUE(reader->read(0, back));
    const Picture expected = pattern(64, 48, 0, keepsAlpha, levels);
    if (s.maxError > 0)
        EXPECT_LE(maxError(expected, back), s.maxError);
    else
        EXPECT_GE(psnr(expected, back), 35.0);  // JPEG's default quality on a smooth gradient
}

INSTANTIATE_TEST_SUITE_P(Types, SingleImage,
                         testing::Values(Still{"a.png", 8, false, true, 0.25f / 255},
                                         Still{"b.png", 16, false, true, 0.25f / 65535},
                                         Still{"c.tif", 8, false, false, 0.25f / 255},
                                         Still{"d.tiff", 16, false, true, 0.25f / 65535},
                                         Still{"e.tif", 32, true, false, 1e-7f},
                                         Still{"f.jpg", 8, false, true, 0},
                                         Still{"g.exr", 16, true, false, 1.0f / 2048},
                                         Still{"h.exr", 32, true, false, 1e-7f},
                                         Still{"i.dpx", 10, false, false, 0.25f / 1023},
                                         Still{"j.dpx", 16, false, false, 0.25f / 65535}),
                         [](const auto& info) { return caseName(info.param.name); });

// A video file exists under its name only once finish() made it whole; until then only a
// hidden temporary name beside it does, and nothing is left of it afterwards. An output
// abandoned, or dropped without finish(), leaves nothing; without -y a file that appeared under
// the name meanwhile (another job's) is kept, and the finished output not forced over it.
TEST(CompleteOutputs, AppearUnderTheirNameOnlyWhenFinished) {
    TempFolder folder;
    VideoInfo source = sourceInfo(16, true);
    source.frameCount = 2;
    const Picture picture = pattern(64, 48, 0, true, 65535);
    for (const std::string name : {"a.mkv", "a.mov", "a.mp4", "seq_%04d.exr", "seq_%04d.png"}) {
        auto writer = MediaWriter::create(folder / name, source, {});
        writer->write(picture);
        writer->write(picture);
        writer->abandon();
        EXPECT_TRUE(folder.names().empty()) << name;
        MediaWriter::create(folder / name, source, {})->write(picture);
        EXPECT_TRUE(folder.names().empty()) << name << " without finish()";
        if (name.find('%') != std::string::npos) continue;
        writer = MediaWriter::create(folder / name, source, {});
        writer->write(picture);
        const std::vector<std::string> during = folder.names();
        ASSERT_EQ(during.size(), 1u) << name;
        EXPECT_TRUE(during[0].front() == '.' && during[0].ends_with(".part")) << during[0];
        EXPECT_NE(during[0].find(name), std::string::npos) << during[0];
        writer->write(picture);
        writer->finish();
        EXPECT_EQ(folder.names(), std::vector<std::string>{name});
        EXPECT_EQ(MediaReader::open(folder / name)->info().frameCount, 2) << name;
        fs::remove(folder / name);
    }
    auto writer = MediaWriter::create(folder / "a.mkv", source, {});
    EXPECT_NE(errorOf([&] { writer->write(pattern(32, 48, 0, true, 65535)); }).find("32x48"),
              std::string::npos);
    writer->write(picture);
    std::ofstream(folder / "a.mkv") << "another job's";
    EXPECT_NE(errorOf([&] { writer->finish(); }).find("appeared"), std::string::npos);
    EXPECT_EQ(fs::file_size(folder / "a.mkv"), 13u);
    EXPECT_EQ(folder.names(), std::vector<std::string>{"a.mkv"});
}

// A full disk, made by a file size limit in a child process: the write that crosses it fails
// ("File too large", as ENOSPC would say "No space left on device"), and no file is left,
// neither under the output's name nor a temporary one. Random values compress badly, so a few
// frames fill the limit. The child exits 0 when the write failed so, 2 if it never failed.
TEST(WriteFailures, AFullDiskLeavesNoFile) {
    for (const std::string name : {"a.mkv", "a.mp4", "seq/%04d.png", "still.tif"}) {
        TempFolder folder;
        VideoInfo source = sourceInfo(16, false);
        source.width = source.height = 128;
        source.frameCount = name == "still.tif" ? 1 : 40;
        const int result = media_files::inChild([&] {
            signal(SIGXFSZ, SIG_IGN);  // the write then fails with EFBIG instead of killing
            const rlimit limit{64 * 1024, 64 * 1024};
            setrlimit(RLIMIT_FSIZE, &limit);
            std::mt19937 random(1);
            std::uniform_real_distribution<float> value(0.0f, 1.0f);
            Picture noise{128, 128, std::vector<float>(128 * 128 * 4, 1.0f)};
            try {
                auto writer = MediaWriter::create(folder / name, source, {});
                for (int i = 0; i < source.frameCount; ++i) {
                    for (size_t k = 0; k < noise.rgba.size(); k += 4)
                        for (size_t c = k; c < k + 3; ++c) noise.rgba[c] = value(random);
                    writer->write(noise);
                }
                writer->finish();
            } catch (const MediaError& e) {
                if (std::string(e.what()).find("File too large") != std::string::npos) return 0;
                std::fprintf(stderr, "unexpected failure: %s\n", e.what());
                return 3;
            }
            return 2;
        });
        EXPECT_EQ(result, 0) << name;
        EXPECT_TRUE(folder.names().empty()) << name << ": " << folder.names().front();
    }
}

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
const auto soundCaseName = [](const auto& info) {
    return caseName(info.param.audio.substr(5) + info.param.output);
};

struct Copy {
    std::string audio;  // ffmpeg's arguments for the source's sound
    std::string output;
};

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
    soundCaseName);

struct Reencode {
    std::string audio;
    std::string output;
    std::string codec;  // what the container gets instead
    bool lossless;      // the decoded samples stay the same
};

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
                         soundCaseName);

TEST(Sound, IsLeftOutWhereTheContainerHoldsNoneAndSpansTheFramesWritten) {
    TempFolder folder;
    const fs::path source = folder / "source.mkv";
    ASSERT_TRUE(makeSource(source, "-c:a aac"));
    const std::vector<std::string> notes = transfer(source, folder / "a.y4m");
    ASSERT_EQ(notes.size(), 1u);
    EXPECT_NE(notes[0].find("left out"), std::string::npos) << notes[0];

    // A job stopped early, or a range, carries the sound of its frames only (to a packet,
    // here 1024 samples of AAC, 21 ms); pictures and sound of a range both start at 0.
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
// Only QuickTime and MP4 keep a rotation; Matroska's output says it was lost. ffmpeg of this
// version turns a rotate tag into the stream's display matrix only when it copies the stream.
TEST(Metadata, CreationTimeTitleLanguageTimecodeAndRotationComeThrough) {
    TempFolder folder;
    const fs::path source = folder / "camera.mov";
    ASSERT_TRUE(makeSource(folder / "upright.mov", "-c:a aac"));
    ASSERT_TRUE(ffmpeg("-i '" + (folder / "upright.mov").string() +
                       "' -c copy -metadata:s:v:0 rotate=90 -timecode 01:02:03:04 -metadata "
                       "creation_time=2020-05-06T07:08:09Z -metadata title=Harbour "
                       "-metadata:s:v:0 language=eng -metadata:s:a:0 language=fra '" +
                       source.string() + "'"));
    ASSERT_EQ(probe(source, "stream_side_data=rotation", "v"), "90");
    for (const std::string name : {"a.mkv", "a.mov", "a.mp4"}) {
        const fs::path out = folder / name;
        const std::vector<std::string> notes = transfer(source, out);
        EXPECT_EQ(probe(out, "format_tags=title"), "Harbour") << name;
        EXPECT_EQ(probe(out, "format_tags=creation_time").substr(0, 19), "2020-05-06T07:08:09")
            << name;
        EXPECT_EQ(probe(out, "stream_tags=language", "v"), "eng") << name;
        EXPECT_EQ(probe(out, "stream_tags=language", "a"), "fra") << name;
        EXPECT_EQ(probe(out, "stream_tags=timecode", "v"), "01:02:03:04") << name;
        if (name == "a.mkv") {
            ASSERT_EQ(notes.size(), 1u);
            EXPECT_NE(notes[0].find("rotation"), std::string::npos) << notes[0];
        } else {
            EXPECT_TRUE(notes.empty()) << name;
            EXPECT_EQ(probe(out, "stream_side_data=rotation", "v"), "90") << name;
        }
    }
    transfer(source, folder / "a.avi");
    EXPECT_EQ(probe(folder / "a.avi", "format_tags=title"), "Harbour");
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

// Damage the reader names instead of passing on: a stream that ends before the frame count its
// index announces (cut between two packets), a broken picture the decoder would conceal, and a
// file cut inside its first picture.
TEST(DamagedVideo, TheReaderSaysWhereAStreamEndsOrBreaks) {
    TempFolder folder;
    const fs::path whole = folder / "whole.mp4";
    // An intra picture every 5 frames, none reordered, the index in front of the pictures.
    ASSERT_TRUE(
        ffmpeg("-f lavfi -i testsrc2=s=64x48:r=25 -frames:v 20 -c:v libx264 -g 5 -bf 0 "
               "-movflags +faststart " +
               whole.string()));
    std::istringstream positions(probe(whole, "packet=pos", "v"));
    std::istringstream sizes(probe(whole, "packet=size", "v"));
    std::vector<std::pair<int64_t, int64_t>> packets;  // file offset and size, in file order
    for (int64_t at = 0, size = 0; positions >> at && sizes >> size;) packets.push_back({at, size});
    std::sort(packets.begin(), packets.end());
    ASSERT_EQ(packets.size(), 20u);
    const auto copyCutAt = [&](const std::string& name, int64_t bytes) {
        fs::copy_file(whole, folder / name);
        fs::resize_file(folder / name, uintmax_t(bytes));
        return folder / name;
    };

    // Ten whole pictures: they read as the whole file's do, and the eleventh is missing.
    const fs::path ten = copyCutAt("ten.mp4", packets[9].first + packets[9].second);
    auto reader = MediaReader::open(ten);
    auto reference = MediaReader::open(whole);
    EXPECT_EQ(reader->info().frameCount, 20);
    Picture picture, expected;
    for (int i = 0; i < 10; ++i) {
        ASSERT_TRUE(reader->read(i, picture)) << i;
        ASSERT_TRUE(reference->read(i, expected)) << i;
        EXPECT_EQ(picture.rgba, expected.rgba) << i;
    }
    EXPECT_EQ(errorOf([&] { reader->read(10, picture); }),
              "'" + ten.string() + "' is truncated or corrupt: it ends after frame 10 of 20");

    // Frame 15's intra picture overwritten inside: the decoder would conceal the damage.
    const fs::path broken = folder / "broken.mp4";
    fs::copy_file(whole, broken);
    {
        std::fstream file(broken, std::ios::in | std::ios::out | std::ios::binary);
        const auto [at, size] = packets[15];
        file.seekp(at + size / 3);
        std::mt19937 noise(15);
        for (int64_t i = 0; i < size / 3; ++i) file.put(char(noise()));
    }
    reader = MediaReader::open(broken);
    ASSERT_TRUE(reader->read(0, picture));
    const std::string failure = errorOf([&] {
        for (int i = 1; i < 20; ++i) reader->read(i, picture);
    });
    EXPECT_NE(failure.find("' is corrupt near frame 1"), std::string::npos) << failure;

    // Cut inside the first picture: nothing can be decoded, not even its pixel format.
    const fs::path stub = copyCutAt("stub.mp4", packets[0].first + packets[0].second / 2);
    EXPECT_EQ(
        errorOf([&] { MediaReader::open(stub); }),
        "'" + stub.string() + "' is truncated or corrupt: not one picture of it can be decoded");
}
