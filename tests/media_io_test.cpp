// Reading and writing video files and image sequences: round trips through our writer and
// reader, files made by the independent ffmpeg tool, frame-accurate random access, errors.
#include <gtest/gtest.h>

#include <fstream>

#include "media/media_reader.h"
#include "media/media_writer.h"
#include "media_checks.h"
#include "media_files.h"

namespace fs = std::filesystem;
using namespace ruvovav::media;

namespace {

using media_checks::errorOf;
using media_checks::maxError;
using media_checks::pattern;
using media_checks::psnr;
using media_files::ffmpeg;
using media_files::TempFolder;

VideoInfo sourceInfo(int bitDepth, bool alpha, bool isFloat = false) {
    VideoInfo info;
    info.width = 64;
    info.height = 48;
    info.rateNum = 24000;
    info.rateDen = 1001;
    info.bitDepth = bitDepth;
    info.hasAlpha = alpha;
    info.isFloat = isFloat;
    return info;
}

struct RoundTrip {
    std::string output;  // file name, or a pattern for sequences
    std::string codec;
    int sourceDepth;
    bool sourceFloat;
    bool alpha;       // the source has alpha
    bool keepsAlpha;  // the format stores it
    int storedDepth;  // bit depth the reader reports
    double maxError;  // > 0: lossless up to this; 0: lossy, judged by minPsnr
    double minPsnr;
    float minAlpha = 0;  // pixels below this alpha are not compared
};

void PrintTo(const RoundTrip& c, std::ostream* os) {
    *os << c.output << " " << c.codec;
}

class RoundTripTest : public testing::TestWithParam<RoundTrip> {};

TEST_P(RoundTripTest, KeepsSizeRateCountDepthAlphaAndPictures) {
    const RoundTrip& c = GetParam();
    TempFolder folder;
    const VideoInfo source = sourceInfo(c.sourceDepth, c.alpha, c.sourceFloat);
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
            EXPECT_LE(maxError(expected, picture, c.minAlpha), c.maxError) << "frame " << i;
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
    testing::Values(RoundTrip{"deep.mkv", "", 16, false, true, true, 16, kExact16, 0},
                    RoundTrip{"plain.mkv", "", 8, false, false, false, 8, 0.25 / 255, 0},
                    RoundTrip{"alpha8.mkv", "", 8, false, true, true, 8, 0.25 / 255, 0},
                    RoundTrip{"deep.avi", "", 10, false, false, false, 16, kExact16, 0},
                    RoundTrip{"hq.mov", "", 10, false, false, false, 10, 0, 42},
                    RoundTrip{"alpha.mov", "", 16, false, true, true, 12, 0, 42},
                    RoundTrip{"plain.mp4", "", 8, false, true, false, 8, 0, 38},
                    RoundTrip{"deep.mp4", "", 10, false, false, false, 10, 0, 40},
                    RoundTrip{"hevc.mp4", "h265", 10, false, false, false, 10, 0, 40},
                    RoundTrip{"hevc8.mkv", "hevc", 8, false, false, false, 8, 0, 38},
                    RoundTrip{"plain.y4m", "", 8, false, false, false, 8, 0, 45},
                    RoundTrip{"deep.y4m", "", 16, false, false, false, 16, 0, 70},
                    RoundTrip{"png/%04d.png", "", 16, false, true, true, 16, kExact16, 0},
                    RoundTrip{"tif/f%03d.tif", "", 16, false, false, false, 16, kExact16, 0},
                    RoundTrip{"dpx/%04d.dpx", "", 16, false, true, true, 16, kExact16, 0},
                    RoundTrip{"exr/%d.exr", "", 16, true, true, true, 16, 2.0 / 1024, 0, 0.25f}),
    [](const testing::TestParamInfo<RoundTrip>& info) {
        std::string name;
        for (char ch : info.param.output + info.param.codec)
            if (std::isalnum(static_cast<unsigned char>(ch))) name += ch;
        return name;
    });

// The expected colour 0x804020 is the one given to ffmpeg, whatever path it took through YUV.
void expectSolidColour(const fs::path& input, const std::string& codec, float tolerance) {
    auto reader = MediaReader::open(input);
    EXPECT_EQ(reader->info().codec, codec);
    EXPECT_EQ(reader->info().frameCount, 3);
    EXPECT_EQ(reader->info().rateNum * 1.0 / reader->info().rateDen, 24.0);
    Picture picture;
    for (int i = 0; i < 3; ++i) {
        ASSERT_TRUE(reader->read(i, picture));
        const float* centre =
            &picture.rgba[(size_t(picture.height / 2) * picture.width + picture.width / 2) * 4];
        EXPECT_NEAR(centre[0], 128 / 255.0, tolerance) << input;
        EXPECT_NEAR(centre[1], 64 / 255.0, tolerance) << input;
        EXPECT_NEAR(centre[2], 32 / 255.0, tolerance) << input;
        EXPECT_EQ(centre[3], 1.0f) << input;
    }
}

// The colour source is made to give RGB, so that every file below starts from exact RGB values.
const std::string kColour = "-f lavfi -i color=c=0x804020:s=64x48:r=24,format=rgb24 -frames:v 3 ";

// ffmpeg's own RGB -> YUV step and the coder may each leave Y, Cb and Cr one code value off; one
// code value of Cb moves blue by 1.86, so 8-bit YUV inputs are held to 3.5/255. Decoding with
// the wrong range or matrix would be 7/255 or more off; 10-bit ProRes is four times finer.
TEST(ReadsFfmpegOutput, SolidColourThroughEachCodec) {
    TempFolder folder;
    const auto h264 = folder / "limited.mp4";
    ASSERT_TRUE(ffmpeg(kColour + "-c:v libx264 -pix_fmt yuv420p " + h264.string()));
    expectSolidColour(h264, "h264", 3.5f / 255);

    const auto full709 = folder / "full709.mkv";
    ASSERT_TRUE(ffmpeg(kColour +
                       "-vf scale=out_color_matrix=bt709:out_range=full,format=yuv420p"
                       " -colorspace bt709 -color_range pc -c:v libx264 " +
                       full709.string()));
    expectSolidColour(full709, "h264", 3.5f / 255);

    const auto prores = folder / "prores.mov";
    ASSERT_TRUE(
        ffmpeg(kColour + "-c:v prores_ks -profile:v hq -pix_fmt yuv422p10le " + prores.string()));
    expectSolidColour(prores, "prores", 1.5f / 255);

    const auto y4m = folder / "raw.y4m";
    ASSERT_TRUE(ffmpeg(kColour + "-pix_fmt yuv444p " + y4m.string()));
    expectSolidColour(y4m, "rawvideo", 3.5f / 255);

    // DNxHR's smallest frame is 256x120; its stream says BT.709, so the colour is made so.
    const auto dnxhr = folder / "dnxhr.mov";
    ASSERT_TRUE(
        ffmpeg("-f lavfi -i color=c=0x804020:s=256x144:r=24,format=rgb24 -frames:v 3"
               " -vf scale=out_color_matrix=bt709,format=yuv422p -c:v dnxhd"
               " -profile:v dnxhr_hq " +
               dnxhr.string()));
    expectSolidColour(dnxhr, "dnxhd", 3.5f / 255);
}

// geq writes these 16-bit values straight into the planes; PNG keeps them exactly. The sequence
// starts at 7: the reader must find its first number by itself.
TEST(ReadsFfmpegOutput, SixteenBitPngSequenceExactly) {
    TempFolder folder;
    ASSERT_TRUE(
        ffmpeg("-f lavfi -i color=s=64x48:r=24,format=gbrp16le,geq=r=40000:g=1234:b=65535"
               " -frames:v 2 -pix_fmt rgb48be -start_number 7 " +
               (folder / "%04d.png").string()));
    auto reader = MediaReader::open(folder / "%04d.png");
    EXPECT_EQ(reader->info().codec, "png");
    EXPECT_EQ(reader->info().bitDepth, 16);
    EXPECT_EQ(reader->info().frameCount, 2);
    EXPECT_EQ(reader->info().rateNum, 25);  // sequences carry no rate of their own
    Picture picture;
    ASSERT_TRUE(reader->read(1, picture));
    EXPECT_NEAR(picture.rgba[0], 40000 / 65535.0, 1e-7);
    EXPECT_NEAR(picture.rgba[1], 1234 / 65535.0, 1e-7);
    EXPECT_EQ(picture.rgba[2], 1.0f);
    EXPECT_EQ(picture.rgba[3], 1.0f);
}

TEST(ReadsSequences, StopAtTheFirstGapAndReadSingleImages) {
    TempFolder folder;
    ASSERT_TRUE(
        ffmpeg(kColour + "-pix_fmt rgb24 -start_number 3 " + (folder / "a_%d.png").string()));
    fs::rename(folder / "a_5.png", folder / "a_6.png");  // frames 3, 4, then a gap
    auto reader = MediaReader::open(folder / "a_%d.png");
    EXPECT_EQ(reader->info().frameCount, 2);
    EXPECT_EQ(reader->info().bitDepth, 8);
    EXPECT_FALSE(reader->info().hasAlpha);

    auto single = MediaReader::open(folder / "a_6.png");
    EXPECT_EQ(single->info().frameCount, 1);
    Picture picture;
    ASSERT_TRUE(single->read(0, picture));
    EXPECT_NEAR(picture.rgba[0], 128 / 255.0, 1e-6);
}

// Reads every frame in order, then jumps around and compares with what the sequential pass gave.
void expectFrameAccurate(const fs::path& input, int frames) {
    std::vector<Picture> sequential(frames);
    {
        auto reader = MediaReader::open(input);
        ASSERT_EQ(reader->info().frameCount, frames);
        for (int i = 0; i < frames; ++i) ASSERT_TRUE(reader->read(i, sequential[i]));
        EXPECT_EQ(reader->decodedFrames(), frames) << "each frame decoded exactly once";
        Picture past;
        EXPECT_FALSE(reader->read(frames, past));
        EXPECT_FALSE(reader->read(-1, past));
    }
    auto reader = MediaReader::open(input);
    Picture picture;
    for (int index : {37, 10, 11, 39, 0, 30, 29, 31, 38, 20, 20, 5}) {
        ASSERT_TRUE(reader->read(index, picture)) << index;
        EXPECT_TRUE(picture.rgba == sequential[index].rgba) << input << " frame " << index;
    }
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
    for (const auto& [name, codec] : inputs) {
        ASSERT_TRUE(ffmpeg(card + codec + " " + (folder / name).string()));
        expectFrameAccurate(folder / name, 40);
    }
}

void writeBytes(const fs::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

void readAll(const fs::path& input) {
    auto reader = MediaReader::open(input);
    Picture picture;
    for (int64_t i = 0; reader->read(i, picture); ++i) {
    }
}

TEST(ReadErrors, MissingJunkTruncatedAndAbsurdInputsThrowClearly) {
    TempFolder folder;
    EXPECT_EQ(errorOf([&] { readAll(folder / "none.mp4"); }),
              "cannot open '" + (folder / "none.mp4").string() + "': No such file or directory");
    EXPECT_NE(errorOf([&] { readAll(folder / "none_%04d.png"); }).find("no file matches"),
              std::string::npos);

    std::mt19937 random(7);
    std::string junk(20000, '\0');
    for (char& c : junk) c = char(random());
    writeBytes(folder / "junk.mp4", junk);
    EXPECT_NE(errorOf([&] { readAll(folder / "junk.mp4"); }), "(no MediaError)");
    writeBytes(folder / "junk.png", junk);
    EXPECT_NE(errorOf([&] { readAll(folder / "junk.png"); }), "(no MediaError)");

    // Cut in half, with the index at the end (lost) and at the front (frames lost).
    for (const std::string flags : {"", "-movflags +faststart "}) {
        const auto mp4 = folder / "whole.mp4";
        ASSERT_TRUE(ffmpeg("-f lavfi -i testsrc2=s=64x48:r=25 -frames:v 20 -c:v libx264 " + flags +
                           mp4.string()));
        fs::resize_file(mp4, fs::file_size(mp4) / 2);
        EXPECT_NE(errorOf([&] { readAll(mp4); }), "(no MediaError)") << flags;
    }

    writeBytes(folder / "huge.y4m", "YUV4MPEG2 W20000 H20000 F25:1 C444\nFRAME\n");
    EXPECT_NE(errorOf([&] { readAll(folder / "huge.y4m"); }).find("huge.y4m"), std::string::npos);
}

TEST(WriteErrors, RefusesUnknownTypesExistingOutputsAndBadSizes) {
    TempFolder folder;
    const VideoInfo source = sourceInfo(8, false);
    EXPECT_NE(errorOf([&] { MediaWriter::create(folder / "out.xyz", source, {}); }).find(".xyz"),
              std::string::npos);
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

    writeBytes(folder / "out.mkv", "old");
    EXPECT_EQ(errorOf([&] { MediaWriter::create(folder / "out.mkv", source, {}); }),
              quotedPath(folder / "out.mkv") + " exists (use -y to overwrite)");
    EXPECT_EQ(fs::file_size(folder / "out.mkv"), 3u);
    auto overwriting = MediaWriter::create(folder / "out.mkv", source, {.overwrite = true});
    overwriting->write(pattern(64, 48, 0, false, 255));
    overwriting->finish();
    EXPECT_GT(fs::file_size(folder / "out.mkv"), 3u);

    // A sequence refuses only the images it would write: 0..4 holds 3, 4..8 does not.
    writeBytes(folder / "0003.png", "old");
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

TEST(WriteErrors, AbandonedOrUnfinishedOutputLeavesNothing) {
    TempFolder folder;
    const VideoInfo source = sourceInfo(16, true);
    for (const std::string name : {"a.mkv", "a.mov", "a.mp4", "seq_%04d.exr", "seq_%04d.png"}) {
        auto writer = MediaWriter::create(folder / name, source, {});
        writer->write(pattern(64, 48, 0, true, 65535));
        writer->write(pattern(64, 48, 1, true, 65535));
        writer->abandon();
        EXPECT_TRUE(folder.names().empty()) << name;
        {
            auto dropped = MediaWriter::create(folder / name, source, {});
            dropped->write(pattern(64, 48, 0, true, 65535));
        }
        EXPECT_TRUE(folder.names().empty()) << name << " without finish()";
    }
    auto writer = MediaWriter::create(folder / "a.mkv", source, {});
    EXPECT_NE(errorOf([&] { writer->write(pattern(32, 48, 0, true, 65535)); }).find("32x48"),
              std::string::npos);
}

}  // namespace
