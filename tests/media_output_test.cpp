// Outputs a user can trust: single images at the source's depth, files that appear under
// their name only when complete, and write failures (a full disk, a folder that cannot be
// written) that leave nothing behind. Expectations come from the formats' definitions (a
// depth's grid of values), from the file system, and from the limits the tests impose.
#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>

#include <fstream>

#include "media/media_reader.h"
#include "media/media_writer.h"
#include "media_checks.h"
#include "media_files.h"

namespace {

using media_checks::errorOf;
using media_checks::maxError;
using media_checks::pattern;
using media_checks::psnr;

namespace fs = std::filesystem;
using namespace ruvovav::media;
using media_files::TempFolder;

// Random values: they compress badly, so a few frames fill a small limit.
Picture noise(int width, int height, unsigned seed) {
    Picture p{width, height, std::vector<float>(size_t(width) * height * 4)};
    std::mt19937 random(seed);
    std::uniform_real_distribution<float> value(0.0f, 1.0f);
    for (size_t i = 0; i < p.rgba.size(); ++i) p.rgba[i] = i % 4 == 3 ? 1.0f : value(random);
    return p;
}

VideoInfo stillSource(int bitDepth, bool isFloat, bool alpha) {
    VideoInfo info;
    info.width = 40;
    info.height = 24;
    info.frameCount = 1;
    info.bitDepth = bitDepth;
    info.isFloat = isFloat;
    info.hasAlpha = alpha;
    return info;
}

struct Still {
    std::string name;
    int sourceDepth;
    bool sourceFloat;
    bool alpha;
    int storedDepth;  // what a reader finds in the file
    bool keepsAlpha;  // JPEG has none
    double levels;    // the grid the picture is made on
    float maxError;   // > 0: kept up to this; 0: lossy, judged by PSNR
};

void PrintTo(const Still& s, std::ostream* os) {
    *os << s.name << " from " << s.sourceDepth << (s.sourceFloat ? "-bit float" : "-bit");
}

class SingleImage : public testing::TestWithParam<Still> {};

// The image keeps the source's depth where the type can hold it: 8 stays 8, 10-bit DPX stays
// 10-bit, float stays float, and values on that depth's grid come back exactly. Half floats
// keep 11 significant bits, so values up to 1 are within 2^-11.
TEST_P(SingleImage, KeepsTheSourceDepthAndItsValues) {
    const Still& s = GetParam();
    TempFolder folder;
    const Picture picture = pattern(40, 24, 0, s.alpha, s.levels);
    auto writer = MediaWriter::create(folder / s.name,
                                      stillSource(s.sourceDepth, s.sourceFloat, s.alpha), {});
    writer->write(picture);
    EXPECT_NE(errorOf([&] { writer->write(picture); }).find("single image"), std::string::npos);
    writer->finish();
    EXPECT_EQ(folder.names(), std::vector<std::string>{s.name}) << "no temporary file is left";

    auto reader = MediaReader::open(folder / s.name);
    EXPECT_EQ(reader->info().frameCount, 1);
    EXPECT_EQ(reader->info().bitDepth, s.storedDepth);
    EXPECT_EQ(reader->info().isFloat, s.sourceFloat);
    EXPECT_EQ(reader->info().hasAlpha, s.alpha && s.keepsAlpha);
    Picture back;
    ASSERT_TRUE(reader->read(0, back));
    const Picture expected = pattern(40, 24, 0, s.alpha && s.keepsAlpha, s.levels);
    if (s.maxError > 0)
        EXPECT_LE(maxError(expected, back), s.maxError);
    else
        EXPECT_GE(psnr(expected, back), 35.0);  // JPEG's default quality on a smooth gradient
}

INSTANTIATE_TEST_SUITE_P(
    Types, SingleImage,
    testing::Values(Still{"a.png", 8, false, true, 8, true, 255, 0.25f / 255},
                    Still{"b.png", 16, false, true, 16, true, 65535, 0.25f / 65535},
                    Still{"c.tif", 8, false, false, 8, true, 255, 0.25f / 255},
                    Still{"d.tiff", 16, false, true, 16, true, 65535, 0.25f / 65535},
                    Still{"e.tif", 32, true, false, 32, true, 65535, 1e-7f},
                    Still{"f.jpg", 8, false, true, 8, false, 255, 0},
                    Still{"g.exr", 16, true, false, 16, true, 65535, 1.0f / 2048},
                    Still{"h.exr", 32, true, false, 32, true, 65535, 1e-7f},
                    Still{"i.dpx", 10, false, false, 10, true, 1023, 0.25f / 1023},
                    Still{"j.dpx", 16, false, false, 16, true, 65535, 0.25f / 65535}),
    [](const testing::TestParamInfo<Still>& info) {
        std::string name;
        for (char ch : info.param.name)
            if (std::isalnum(static_cast<unsigned char>(ch))) name += ch;
        return name;
    });

bool isTemporary(const std::string& name) {
    return name.front() == '.' && name.ends_with(".part");
}

// A video file exists under its name only once finish() made it whole; until then only a
// hidden temporary name beside it does, and nothing is left of it afterwards.
TEST(CompleteOutputs, AppearUnderTheirNameOnlyWhenFinished) {
    TempFolder folder;
    VideoInfo source = stillSource(8, false, false);
    source.frameCount = 2;
    for (const std::string name : {"a.mkv", "a.mov", "a.mp4"}) {
        auto writer = MediaWriter::create(folder / name, source, {});
        writer->write(pattern(40, 24, 0, false, 255));
        const std::vector<std::string> during = folder.names();
        ASSERT_EQ(during.size(), 1u) << name;
        EXPECT_TRUE(isTemporary(during[0])) << during[0];
        EXPECT_NE(during[0].find(name), std::string::npos) << during[0];
        writer->write(pattern(40, 24, 0, false, 255));
        writer->finish();
        EXPECT_EQ(folder.names(), std::vector<std::string>{name});
        EXPECT_EQ(MediaReader::open(folder / name)->info().frameCount, 2) << name;
        fs::remove(folder / name);
    }
}

// Without -y a file that appears under the name while the job runs (another job) is kept,
// and the finished output is not forced over it.
TEST(CompleteOutputs, DoNotReplaceAFileThatAppearedMeanwhile) {
    TempFolder folder;
    const VideoInfo source = stillSource(8, false, false);
    auto writer = MediaWriter::create(folder / "a.mkv", source, {});
    writer->write(pattern(40, 24, 0, false, 255));
    std::ofstream(folder / "a.mkv") << "another job's";
    EXPECT_NE(errorOf([&] { writer->finish(); }).find("appeared"), std::string::npos);
    EXPECT_EQ(fs::file_size(folder / "a.mkv"), 13u);
    EXPECT_EQ(folder.names(), std::vector<std::string>{"a.mkv"});
}

// Writes frames of noise until the writer fails; the child's exit code says how it ended:
// 0 failed with `expected` in the message, 2 never failed, 3 failed otherwise.
int writeUntilFailure(const fs::path& output, const VideoInfo& source,
                      const std::string& expected) {
    try {
        auto writer = MediaWriter::create(output, source, {});
        for (int i = 0; i < source.frameCount; ++i)
            writer->write(noise(source.width, source.height, i));
        writer->finish();
    } catch (const MediaError& e) {
        if (std::string(e.what()).find(expected) != std::string::npos) return 0;
        std::fprintf(stderr, "unexpected failure: %s\n", e.what());
        return 3;
    }
    return 2;
}

// A full disk, made by a file size limit in a child process: the write that crosses it fails
// ("File too large", as ENOSPC would say "No space left on device"), and no file is left,
// neither under the output's name nor a temporary one.
TEST(WriteFailures, AFullDiskLeavesNoFile) {
    for (const std::string name : {"a.mkv", "a.mp4", "seq/%04d.png", "still.tif"}) {
        TempFolder folder;
        VideoInfo source = stillSource(16, false, false);
        source.width = source.height = 128;
        source.frameCount = name == "still.tif" ? 1 : 40;
        const int result = media_files::inChild([&] {
            signal(SIGXFSZ, SIG_IGN);  // the write then fails with EFBIG instead of killing
            const rlimit limit{64 * 1024, 64 * 1024};
            setrlimit(RLIMIT_FSIZE, &limit);
            return writeUntilFailure(folder / name, source, "File too large");
        });
        EXPECT_EQ(result, 0) << name;
        EXPECT_TRUE(folder.names().empty()) << name << ": " << folder.names().front();
    }
}

// A folder the job may not write to: refused when the writer is made, before any frame is
// rendered. Root may write anywhere, so the child drops to the unprivileged user first.
TEST(WriteFailures, AnUnwritableFolderIsRefusedAtOnce) {
    for (const std::string name : {"a.mkv", "seq/%04d.png", "still.png"}) {
        TempFolder folder;
        fs::create_directories(folder / "locked" / "seq");
        fs::permissions(folder / "locked",
                        fs::perms::owner_all | fs::perms::group_exec | fs::perms::others_exec);
        fs::permissions(folder / "locked" / "seq",
                        fs::perms::owner_all | fs::perms::group_exec | fs::perms::others_exec);
        if (geteuid() != 0) {
            fs::permissions(folder / "locked", fs::perms::owner_write, fs::perm_options::remove);
            fs::permissions(folder / "locked" / "seq", fs::perms::owner_write,
                            fs::perm_options::remove);
        }
        const int result = media_files::inChild([&] {
            if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) return 4;
            const std::string message = errorOf([&] {
                MediaWriter::create(folder / "locked" / name, stillSource(8, false, false), {});
            });
            if (message.find("Permission denied") == std::string::npos) {
                std::fprintf(stderr, "%s\n", message.c_str());
                return 3;
            }
            return 0;
        });
        EXPECT_EQ(result, 0) << name;
        std::vector<std::string> left;
        for (const auto& entry : fs::recursive_directory_iterator(folder / "locked"))
            if (!entry.is_directory()) left.push_back(entry.path().string());
        EXPECT_TRUE(left.empty()) << name;
    }
}

}  // namespace
