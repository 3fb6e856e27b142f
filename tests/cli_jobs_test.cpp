// Whole jobs of the tool on generated files: the decoded-frame cache, chunks of a render
// farm joined against one whole render, bad input, and Ctrl-C. Inputs are written with our
// media layer (lossless FFV1) or are made-up bytes; expectations come from the job's
// definition (each frame decoded once, chunks equal to the whole, one line and no output
// for bad input).
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#include <CLI/CLI.hpp>

#include <chrono>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <thread>

#include "cli/commands.h"
#include "cli/job_setup.h"
#include "cli/media/media_reader.h"
#include "cli/media/media_writer.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;
using namespace ruvovav;

// A pan over a texture with a flat grey area, with noise, in straight RGBA.
media::Picture clipFrame(int width, int height, int index, unsigned seed) {
    media::Picture p{width, height, {}};
    std::mt19937 generator(seed * 1000 + unsigned(index));
    std::normal_distribution<float> noise(0.0f, 0.04f);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const double u = x + 1.5 * index;
            const float v =
                x < width / 2 ? 0.5f : float(0.5 + 0.3 * std::sin(u * 0.4) * std::cos(y * 0.3));
            for (int c = 0; c < 3; ++c) {
                p.rgba.push_back(std::clamp(v + noise(generator), 0.0f, 1.0f));
            }
            p.rgba.push_back(1.0f);
        }
    }
    return p;
}

void writeClip(const fs::path& path, int width, int height, int frames) {
    media::VideoInfo info;
    info.width = width;
    info.height = height;
    info.rateNum = 24;
    auto writer = media::MediaWriter::create(path, info, {});
    for (int i = 0; i < frames; ++i) writer->write(clipFrame(width, height, i, 1));
    writer->finish();
}

struct ToolRun {
    int exitCode = -1;
    std::vector<std::string> errorLines;
};

std::vector<std::string> linesOf(const fs::path& file) {
    std::ifstream in(file);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

class ToolJobs : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() /
               ("ruvovav_jobs_" + std::to_string(getpid()) + "_" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }

    // Starts the tool with stdout and stderr into files named after `log`; returns its pid.
    pid_t spawnTool(const std::vector<std::string>& args, const std::string& log = "tool") {
        std::vector<std::string> all = {RUVOVAV_TOOL_PATH};
        all.insert(all.end(), args.begin(), args.end());
        all.push_back("--module");
        all.push_back(RUVOVAV_MODULE_PATH);
        std::vector<char*> argv;
        for (std::string& a : all) argv.push_back(a.data());
        argv.push_back(nullptr);
        posix_spawn_file_actions_t files;
        posix_spawn_file_actions_init(&files);
        posix_spawn_file_actions_addopen(&files, 1, (dir_ / (log + ".out")).c_str(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0644);
        posix_spawn_file_actions_addopen(&files, 2, (dir_ / (log + ".err")).c_str(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0644);
        pid_t pid = 0;
        EXPECT_EQ(posix_spawn(&pid, argv[0], &files, nullptr, argv.data(), environ), 0);
        posix_spawn_file_actions_destroy(&files);
        return pid;
    }
    ToolRun finish(pid_t pid, const std::string& log = "tool") {
        int status = 0;
        waitpid(pid, &status, 0);
        ToolRun run;
        // A crash shows as a signal: report it as an impossible exit code.
        run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 1000 + WTERMSIG(status);
        run.errorLines = linesOf(dir_ / (log + ".err"));
        return run;
    }
    ToolRun runTool(const std::vector<std::string>& args) { return finish(spawnTool(args)); }

    fs::path dir_;
};

// Rendering every frame with a four-frame window decodes each frame exactly once, and the
// cache never holds more than the window.
TEST_F(ToolJobs, NoFrameIsDecodedTwiceWhileTheWindowNeedsIt) {
    const fs::path input = dir_ / "clip.mkv";
    writeClip(input, 64, 48, 10);
    cli::AnalysisOptions analysis;
    analysis.box = "0,0,32,48";
    cli::EffectSettings settings;
    CLI::App app;
    settings.addOptions(app);
    const char* argv[] = {"ruvovav", "--frames", "4"};
    app.parse(3, argv);
    cli::ClipJob job =
        cli::startClipJob({RUVOVAV_MODULE_PATH, "auto"}, input.string(), analysis, settings);
    std::ostringstream boxes;
    cli::analyseClip(job, analysis, boxes);
    for (int i = 0; i < job.frameCount; ++i) {
        ASSERT_TRUE(job.cache->setCurrent(i));
        job.session->render(i);
        EXPECT_LE(job.cache->heldFrames(), 4u);
        ASSERT_FALSE(job.cache->error().has_value());
    }
    EXPECT_EQ(job.reader->decodedFrames(), 10);
    EXPECT_EQ(job.session->host().gl()->lentImages().outstanding(), 0);
}

// A render farm's chunks, rendered at the same time by separate processes, each into its
// own part of one image sequence, give exactly the images of one whole render: neighbours
// outside a chunk are still read.
TEST_F(ToolJobs, ChunksRenderedApartJoinIntoTheWholeRender) {
    const fs::path input = dir_ / "clip.mkv";
    writeClip(input, 64, 48, 9);
    const std::string profile = (dir_ / "profile.json").string();
    ASSERT_EQ(runTool({"analyze", input.string(), "--profile-out", profile, "--box", "2,2,28,44",
                       "--frames", "4"})
                  .exitCode,
              0);
    auto denoise = [&](const std::string& output, const std::string& range) {
        std::vector<std::string> args = {"denoise",      input.string(), "-o",     output,
                                         "--profile-in", profile,        "--track"};
        if (!range.empty()) args.insert(args.end(), {"--range", range});
        return spawnTool(args, "chunk" + range);
    };
    std::vector<std::pair<pid_t, std::string>> running;
    for (const char* range : {"0:3", "3:7", "7:"}) {
        running.emplace_back(denoise((dir_ / "parts" / "f%03d.png").string(), range),
                             std::string("chunk") + range);
    }
    const ToolRun whole = finish(denoise((dir_ / "whole" / "f%03d.png").string(), ""), "chunk");
    ASSERT_EQ(whole.exitCode, 0) << (whole.errorLines.empty() ? "" : whole.errorLines[0]);
    for (const auto& [pid, log] : running) {
        const ToolRun run = finish(pid, log);
        EXPECT_EQ(run.exitCode, 0) << (run.errorLines.empty() ? "" : run.errorLines[0]);
    }
    for (int i = 0; i < 9; ++i) {
        char name[16];
        std::snprintf(name, sizeof name, "f%03d.png", i);
        media::Picture a, b;
        ASSERT_TRUE(media::MediaReader::open(dir_ / "whole" / name)->read(0, a)) << name;
        ASSERT_TRUE(media::MediaReader::open(dir_ / "parts" / name)->read(0, b)) << name;
        EXPECT_TRUE(a.rgba == b.rgba) << name << " differs";
    }
}

// A preview writes every picture it promises, at the frame's size.
TEST_F(ToolJobs, PreviewWritesEveryView) {
    const fs::path input = dir_ / "clip.mkv";
    writeClip(input, 64, 48, 3);
    const ToolRun run = runTool({"preview", input.string(), "--frame", "1", "-o",
                                 (dir_ / "preview").string(), "--box", "2,2,28,44"});
    ASSERT_EQ(run.exitCode, 0) << (run.errorLines.empty() ? "" : run.errorLines[0]);
    std::vector<std::string> names = {"analysis_box", "before_after"};
    for (const char* plane : {"Y", "U", "V"}) {
        for (const char* level : {"0", "1", "3"}) {
            names.push_back(std::string("frequency_") + plane + "_level" + level);
        }
    }
    for (const std::string& name : names) {
        media::Picture p;
        ASSERT_TRUE(media::MediaReader::open(dir_ / "preview" / (name + ".png"))->read(0, p))
            << name;
        EXPECT_EQ(p.width, 64);
        EXPECT_EQ(p.height, 48);
    }
}

// Every kind of bad input: one clear line, an exit code below 128, and no output left.
TEST_F(ToolJobs, BadInputGetsOneClearLineAndNoOutput) {
    const fs::path good = dir_ / "clip.mkv";
    writeClip(good, 64, 48, 3);
    const fs::path noise = dir_ / "noise.mp4";
    {
        std::ofstream out(noise, std::ios::binary);
        std::mt19937 generator(3);
        for (int i = 0; i < 4096; ++i) out.put(char(generator()));
    }
    const fs::path truncated = dir_ / "truncated.mkv";
    fs::copy_file(good, truncated);
    fs::resize_file(truncated, fs::file_size(good) / 2);
    const fs::path huge = dir_ / "huge.y4m";
    std::ofstream(huge) << "YUV4MPEG2 W20000 H20000 F25:1 C444\nFRAME\n";
    const fs::path empty = dir_ / "empty.y4m";
    std::ofstream(empty) << "YUV4MPEG2 W0 H0 F25:1 C444\n";
    const fs::path badJson = dir_ / "bad.json";
    std::ofstream(badJson) << "{\"parameters\": {";
    const fs::path unknown = dir_ / "unknown.json";
    std::ofstream(unknown) << "{\"parameters\": {\"noSuchParameter\": 1}}";
    const std::string out = (dir_ / "out.mkv").string();
    const std::string in = good.string();

    const std::vector<std::vector<std::string>> cases = {
        {"denoise", (dir_ / "missing.mkv").string(), "-o", out},
        {"denoise", noise.string(), "-o", out},
        {"denoise", truncated.string(), "-o", out},
        {"denoise", huge.string(), "-o", out},
        {"denoise", empty.string(), "-o", out},
        {"denoise", in, "-o", (dir_ / "out.xyz").string()},
        {"denoise", in, "-o", out, "--box", "1,2,oops"},
        {"denoise", in, "-o", out, "--box", "60,40,32,32"},
        {"denoise", in, "-o", out, "--frames", "3"},
        {"denoise", in, "-o", out, "--range", "5:9"},
        {"denoise", in, "-o", out, "--profile-in", badJson.string()},
        {"denoise", in, "-o", out, "--profile-in", unknown.string()},
        {"denoise", in, "-o", in, "-y"},
        {"denoise", in},
        {"info", noise.string()},
    };
    for (const std::vector<std::string>& args : cases) {
        std::string command;
        for (const std::string& a : args) command += " " + a;
        const ToolRun run = runTool(args);
        EXPECT_GT(run.exitCode, 0) << command;
        EXPECT_LT(run.exitCode, 128) << command;
        EXPECT_GE(run.errorLines.size(), 1u) << command;
        EXPECT_LE(run.errorLines.size(), 3u) << command;
        if (!run.errorLines.empty()) {
            EXPECT_EQ(run.errorLines[0].rfind("ruvovav: ", 0), 0u) << run.errorLines[0];
        }
        EXPECT_FALSE(fs::exists(out)) << command << " left an output";
        fs::remove(out);
        EXPECT_FALSE(fs::exists(dir_ / "out.xyz")) << command;
    }
    EXPECT_EQ(fs::file_size(good), fs::file_size(good)) << "the input was kept";
}

// Ctrl-C stops after the frame in hand and leaves a finished, readable file of the frames
// done.
TEST_F(ToolJobs, InterruptLeavesAFinishedOutputOfTheFramesDone) {
    const fs::path input = dir_ / "long.mkv";
    writeClip(input, 96, 64, 120);
    const fs::path output = dir_ / "out.mkv";
    const pid_t pid = spawnTool({"denoise", input.string(), "-o", output.string(), "--box",
                                 "4,4,40,56", "--frames", "2", "--no-track"});
    // The tool says which renderer it got just before the first frame.
    for (int wait = 0; wait < 600; ++wait) {
        const std::vector<std::string> lines = linesOf(dir_ / "tool.out");
        if (!lines.empty() && lines.back().rfind("renderer:", 0) == 0) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    kill(pid, SIGINT);
    const ToolRun run = finish(pid);
    ASSERT_EQ(run.exitCode, cli::kExitInterrupted);
    const std::unique_ptr<media::MediaReader> reader = media::MediaReader::open(output);
    const int64_t written = reader->info().frameCount;
    EXPECT_GE(written, 1);
    EXPECT_LT(written, 120);
    media::Picture last;
    EXPECT_TRUE(reader->read(written - 1, last));
    EXPECT_EQ(last.width, 96);
}

}  // namespace
