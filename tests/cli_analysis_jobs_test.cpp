// The tool's automatic analysis and settings as a job sees them: the defaults a clip gets
// and the candidate picture `preview` draws. Inputs are generated and written with our
// media layer; the job runs in this process.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <random>

#include "cli/commands.h"
#include "cli/job_setup.h"
#include "cli/media/media_reader.h"
#include "cli/media/media_writer.h"

namespace {

namespace fs = std::filesystem;
using namespace ruvovav;

// 256 x 128: a flat grey left half and a textured right half, with noise.
media::Picture frameWithFlatArea(int index) {
    constexpr int kWidth = 256, kHeight = 128;
    media::Picture p{kWidth, kHeight, {}};
    std::mt19937 generator(unsigned(index) + 5);
    std::normal_distribution<float> noise(0.0f, 0.03f);
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x) {
            const float v =
                x < kWidth / 2 ? 0.45f : float(0.5 + 0.3 * std::sin(x * 0.4) * std::cos(y * 0.3));
            for (int c = 0; c < 3; ++c)
                p.rgba.push_back(std::clamp(v + noise(generator), 0.f, 1.f));
            p.rgba.push_back(1.0f);
        }
    }
    return p;
}

class AnalysisJobs : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() /
               ("ruvovav_analysis_jobs_" + std::to_string(getpid()) + "_" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }

    fs::path write(const std::string& name, int frames) {
        const fs::path path = dir_ / name;
        media::VideoInfo info;
        info.width = 256;
        info.height = 128;
        info.rateNum = 24;
        info.frameCount = frames;
        auto writer = media::MediaWriter::create(path, info, {});
        for (int i = 0; i < frames; ++i) writer->write(frameWithFlatArea(i));
        writer->finish();
        return path;
    }

    static int storedFramesEntry(cli::ClipJob& job) {
        return int(job.session->parameters().value("numberOfFrames", 0).x);
    }
    static bool tracking(cli::ClipJob& job) {
        return job.session->parameters().value("useOpticalFlowTracking", 0).x != 0;
    }

    fs::path dir_;
};

// A clip gets four aligned frames, a single picture one; a flag still wins.
TEST_F(AnalysisJobs, AClipDefaultsToFourTrackedFramesAndASinglePictureToOne) {
    const fs::path clip = write("clip.mkv", 3);
    const fs::path still = write("still_%04d.png", 1);
    cli::ClipJob clipJob = cli::startClipJob({}, clip.string(), {}, {});
    EXPECT_EQ(storedFramesEntry(clipJob), 2);  // the entries are 1, 2, 4 and 8 frames
    EXPECT_TRUE(tracking(clipJob));
    cli::ClipJob stillJob = cli::startClipJob({}, still.string(), {}, {});
    EXPECT_EQ(storedFramesEntry(stillJob), 0);

    cli::EffectSettings oneFrame;
    oneFrame.add("numberOfFrames", 0);
    cli::ClipJob fast = cli::startClipJob({}, clip.string(), {}, oneFrame);
    EXPECT_EQ(storedFramesEntry(fast), 0);
}

// Without --box, preview adds the picture to choose a box from: the frame with every
// candidate outlined and the chosen box outlined in white.
TEST_F(AnalysisJobs, PreviewWithoutABoxDrawsTheCandidatesAndTheChoice) {
    const fs::path clip = write("clip.mkv", 2);
    cli::PreviewOptions options;
    options.input = clip.string();
    options.outputDir = (dir_ / "look").string();
    options.settings.add("numberOfFrames", 0);
    ASSERT_EQ(cli::runPreview(options), 0);
    media::Picture candidates;
    ASSERT_TRUE(media::MediaReader::open(dir_ / "look" / "candidates.png")->read(0, candidates));
    ASSERT_EQ(candidates.width, 256);
    ASSERT_EQ(candidates.height, 128);
    // The chosen 64-pixel box lies in the flat left half; its white outline, three pixels
    // wide, holds at least 3 x (4 x 64 - 12) pure white pixels there.
    int white = 0;
    for (int y = 0; y < 128; ++y) {
        for (int x = 0; x < 128; ++x) {
            const float* px = &candidates.rgba[(size_t(y) * 256 + size_t(x)) * 4];
            white += px[0] == 1.0f && px[1] == 1.0f && px[2] == 1.0f;
        }
    }
    EXPECT_GE(white, 3 * (4 * 64 - 12));
    // Given a box, there is nothing to choose from.
    options.analysis.box = "0,0,64,64";
    options.outputDir = (dir_ / "given").string();
    ASSERT_EQ(cli::runPreview(options), 0);
    EXPECT_FALSE(fs::exists(dir_ / "given" / "candidates.png"));
}

}  // namespace
