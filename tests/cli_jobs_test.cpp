// Whole jobs of the tool on generated files: the decoded-frame cache, chunks of a render
// farm joined against one whole render, bad input, Ctrl-C, an input that is never written
// to, single images, sound, start-up failures, a full disk and an unwritable folder. Inputs
// are written with our media layer (lossless FFV1), by the ffmpeg tool, or are made-up
// bytes; expectations come from the job's definition (each frame decoded once, chunks equal
// to the whole, one line and no output for bad input, the input's bytes unchanged).
#include <dlfcn.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <CLI/CLI.hpp>

#include <chrono>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <random>
#include <sstream>
#include <thread>

#include "cli/commands.h"
#include "cli/job_setup.h"
#include "cli/media/media_reader.h"
#include "cli/media/media_writer.h"
#include "media_files.h"

extern char** environ;  // passed on to the tool with the test's additions

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

std::string bytesOf(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// How the tool is started: its logs, the module it loads, extra environment, and what the
// child does before it becomes the tool (a resource limit, another user). The child of a
// threaded process may only make async-signal-safe calls there.
struct Launch {
    std::string log = "tool";
    std::string module = RUVOVAV_MODULE_PATH;
    std::vector<std::string> environment;  // "NAME=value"
    std::function<void()> beforeExec;
};

// The C library: a shared object that loads anywhere and exports neither entry point.
std::string sharedLibraryWithoutEntryPoints() {
    Dl_info info{};
    dladdr(reinterpret_cast<void*>(&std::printf), &info);
    return info.dli_fname != nullptr ? info.dli_fname : "";
}

// The files of a folder whose names mark them temporary.
std::vector<std::string> temporaryFiles(const fs::path& folder) {
    std::vector<std::string> found;
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
        const std::string name = entry.path().filename().string();
        if (name.ends_with(".part")) found.push_back(name);
    }
    return found;
}

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
    void TearDown() override {
        // A test may have locked a folder; it must not keep its files from going.
        std::error_code ignored;
        for (const auto& entry : fs::recursive_directory_iterator(dir_, ignored))
            if (entry.is_directory())
                fs::permissions(entry.path(), fs::perms::owner_all, fs::perm_options::add, ignored);
        fs::remove_all(dir_, ignored);
    }

    // Starts the tool with stdout and stderr into files named after `log`; returns its pid.
    pid_t spawnTool(const std::vector<std::string>& args, const std::string& log = "tool") {
        return spawn(args, {.log = log});
    }
    pid_t spawn(const std::vector<std::string>& args, const Launch& launch) {
        std::vector<std::string> all = {RUVOVAV_TOOL_PATH};
        all.insert(all.end(), args.begin(), args.end());
        all.push_back("--module");
        all.push_back(launch.module);
        std::vector<char*> argv;
        for (std::string& a : all) argv.push_back(a.data());
        argv.push_back(nullptr);
        std::vector<std::string> env = launch.environment;
        for (char** e = environ; *e != nullptr; ++e) env.emplace_back(*e);
        std::vector<char*> envp;
        for (std::string& e : env) envp.push_back(e.data());
        envp.push_back(nullptr);
        const std::string out = (dir_ / (launch.log + ".out")).string();
        const std::string err = (dir_ / (launch.log + ".err")).string();
        const pid_t pid = fork();
        if (pid == 0) {
            const int o = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
            const int e = open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
            if (o < 0 || e < 0 || dup2(o, 1) < 0 || dup2(e, 2) < 0) _exit(126);
            if (launch.beforeExec) launch.beforeExec();
            execve(argv[0], argv.data(), envp.data());
            _exit(127);
        }
        EXPECT_GT(pid, 0);
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
    ToolRun run(const std::vector<std::string>& args, const Launch& launch) {
        return finish(spawn(args, launch), launch.log);
    }

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
    const std::string goodBytes = bytesOf(good);

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
    EXPECT_TRUE(bytesOf(good) == goodBytes) << "the input's bytes changed";
}

// Ctrl-C stops after the frame in hand and leaves a finished, readable file of the frames
// done, renamed from its temporary name.
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
    // While the job runs, only a temporary name exists: a crash now leaves no half file.
    EXPECT_FALSE(fs::exists(output));
    EXPECT_EQ(temporaryFiles(dir_).size(), 1u);
    kill(pid, SIGINT);
    const ToolRun run = finish(pid);
    ASSERT_EQ(run.exitCode, cli::kExitInterrupted);
    EXPECT_TRUE(temporaryFiles(dir_).empty());
    const std::unique_ptr<media::MediaReader> reader = media::MediaReader::open(output);
    const int64_t written = reader->info().frameCount;
    EXPECT_GE(written, 1);
    EXPECT_LT(written, 120);
    media::Picture last;
    EXPECT_TRUE(reader->read(written - 1, last));
    EXPECT_EQ(last.width, 96);
}

// The input is never written to, -y or not, whatever name the output reaches it by; refused
// before anything is read or started: the module named does not even exist, and a junk
// input is never decoded.
TEST_F(ToolJobs, TheInputIsNeverWrittenTo) {
    const fs::path shots = dir_ / "shots";
    fs::create_directories(shots);
    for (int i = 1; i <= 3; ++i) {
        char name[16];
        std::snprintf(name, sizeof name, "%04d.png", i);
        media::writeStill(shots / name, clipFrame(32, 24, i, 2), false);
    }
    const fs::path clip = dir_ / "clip.mkv";
    writeClip(clip, 32, 24, 2);
    fs::create_symlink(clip, dir_ / "link.mkv");
    fs::create_hard_link(clip, dir_ / "hard.mkv");
    fs::create_hard_link(shots / "0002.png", dir_ / "frame.png");
    const fs::path junk = dir_ / "junk.mkv";
    std::ofstream(junk) << "not a video";
    fs::create_symlink(junk, dir_ / "junk_link.mkv");
    fs::copy_file(clip, dir_ / "clean.mkv");
    std::map<fs::path, std::string> before;
    for (const auto& entry : fs::recursive_directory_iterator(dir_))
        if (entry.is_regular_file()) before[entry.path()] = bytesOf(entry.path());

    const std::string pattern = (shots / "%04d.png").string();
    const std::vector<std::vector<std::string>> cases = {
        {"denoise", pattern, "-o", pattern, "-y"},
        {"denoise", pattern, "-o", (dir_ / "shots" / ".." / "shots" / "%04d.png").string(), "-y"},
        {"denoise", pattern, "-o", (shots / "00%02d.png").string(), "-y"},
        {"denoise", pattern, "-o", (dir_ / "frame.png").string(), "-y"},
        {"denoise", clip.string(), "-o", (dir_ / "link.mkv").string(), "-y"},
        {"denoise", clip.string(), "-o", (dir_ / "hard.mkv").string(), "-y"},
        {"denoise", junk.string(), "-o", (dir_ / "junk_link.mkv").string(), "-y"},
        {"denoise", clip.string(), "-o", (dir_ / "clean.mkv").string(), "--reference",
         (dir_ / "clean.mkv").string(), "-y"},
        {"denoise", clip.string(), "-o", (dir_ / "out.mkv").string(), "--profile-out",
         (dir_ / "hard.mkv").string(), "-y"},
    };
    for (const std::vector<std::string>& args : cases) {
        const ToolRun run = this->run(args, {.module = (dir_ / "no_such_module.kspl").string()});
        EXPECT_EQ(run.exitCode, cli::kExitUsage) << args[3];
        ASSERT_EQ(run.errorLines.size(), 1u) << args[3];
        EXPECT_NE(run.errorLines[0].find("the input is never written to"), std::string::npos)
            << run.errorLines[0];
    }
    for (const auto& [file, bytes] : before) EXPECT_TRUE(bytesOf(file) == bytes) << file;
    EXPECT_FALSE(fs::exists(dir_ / "out.mkv"));
    EXPECT_TRUE(temporaryFiles(dir_).empty());
}

// Malformed options and options the input's description refutes are refused before the
// module loads or GL starts: with a module that does not exist, the line is about the option.
TEST_F(ToolJobs, OptionsAreCheckedBeforeStartUp) {
    const fs::path clip = dir_ / "clip.mkv";
    writeClip(clip, 64, 48, 3);
    const std::string in = clip.string();
    const std::string out = (dir_ / "out.mkv").string();
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{"denoise", in, "-o", out, "--box", "1,2,oops"}, "--box"},
        {{"denoise", in, "-o", out, "--box", "60,40,32,32"}, "--box"},
        {{"denoise", in, "-o", out, "--range", "4:2"}, "--range"},
        {{"denoise", in, "-o", out, "--range", "5:9"}, "--range"},
        {{"denoise", in, "-o", out, "--analyze-frame", "7"}, "--analyze-frame"},
        {{"denoise", in, "-o", out, "--audio", "--no-audio"}, "--audio"},
        {{"denoise", in, "-o", (dir_ / "one.png").string()}, "single image"},
        {{"denoise", in, "-o", (dir_ / "out.webm").string()}, ".webm"},
        {{"analyze", in, "--profile-out", (dir_ / "p.json").string(), "--box", "1,2"}, "--box"},
        {{"preview", in, "-o", (dir_ / "look").string(), "--box", "x"}, "--box"},
    };
    for (const auto& [args, topic] : cases) {
        const ToolRun run = this->run(args, {.module = (dir_ / "no_such_module.kspl").string()});
        EXPECT_GT(run.exitCode, 0) << topic;
        EXPECT_LT(run.exitCode, 128) << topic;
        ASSERT_FALSE(run.errorLines.empty()) << topic;
        EXPECT_NE(run.errorLines[0].find(topic), std::string::npos) << run.errorLines[0];
        EXPECT_EQ(run.errorLines[0].find("module"), std::string::npos) << run.errorLines[0];
    }
    EXPECT_FALSE(fs::exists(out));
    EXPECT_TRUE(temporaryFiles(dir_).empty());
}

// Each way start-up can fail names its cause in one line: no module, not a module, a module
// without the entry points, no OpenGL (EGL finds no driver when told to look nowhere).
TEST_F(ToolJobs, StartUpFailuresNameTheirCause) {
    const fs::path clip = dir_ / "clip.mkv";
    writeClip(clip, 32, 24, 2);
    const fs::path notAModule = dir_ / "text.kspl";
    std::ofstream(notAModule) << "plain text";
    const std::vector<std::string> job = {
        "denoise", clip.string(), "-o", (dir_ / "out.mkv").string(), "--box", "0,0,8,8"};
    const std::pair<Launch, std::string> cases[] = {
        {{.module = (dir_ / "absent.kspl").string()}, "not found"},
        {{.module = notAModule.string()}, "cannot load"},
        {{.module = sharedLibraryWithoutEntryPoints()}, "does not export"},
        {{.environment = {"__EGL_VENDOR_LIBRARY_FILENAMES=/nonexistent/egl.json",
                          "RUVOVAV_GL=auto"}},
         "OpenGL"},
    };
    for (const auto& [launch, cause] : cases) {
        const ToolRun run = this->run(job, launch);
        EXPECT_EQ(run.exitCode, cli::kExitFailure) << cause;
        ASSERT_EQ(run.errorLines.size(), 1u) << cause;
        EXPECT_NE(run.errorLines[0].find(cause), std::string::npos) << run.errorLines[0];
        EXPECT_FALSE(fs::exists(dir_ / "out.mkv")) << cause;
    }
    EXPECT_TRUE(temporaryFiles(dir_).empty());
}

// A single image in, a single image out, at the input's depth and size; or into a one-frame
// sequence. The input images are made by the ffmpeg tool (EXR, which it cannot write, by our
// writer); the depth expected is what the reader finds in the input.
TEST_F(ToolJobs, SingleImagesWork) {
    const std::pair<std::string, std::string> inputs[] = {
        {"photo.png", "-pix_fmt rgb24"},
        {"photo.tif", "-pix_fmt rgb48le"},
        {"photo.jpg", "-pix_fmt yuvj444p"},
        {"photo.dpx", "-pix_fmt gbrp10le"},
    };
    for (const auto& [name, format] : inputs) {
        ASSERT_TRUE(media_files::ffmpeg("-f lavfi -i testsrc2=s=48x32 -frames:v 1 " + format +
                                        " '" + (dir_ / name).string() + "'"));
    }
    media::VideoInfo half;
    half.width = 48;
    half.height = 32;
    half.frameCount = 1;
    half.bitDepth = 16;
    half.isFloat = true;
    {
        auto exr = media::MediaWriter::create(dir_ / "photo.exr", half, {});
        exr->write(clipFrame(48, 32, 0, 3));
        exr->finish();
    }
    for (const std::string name :
         {"photo.png", "photo.tif", "photo.jpg", "photo.dpx", "photo.exr"}) {
        const fs::path in = dir_ / name;
        const fs::path out = dir_ / ("clean" + in.extension().string());
        const std::string bytes = bytesOf(in);
        const ToolRun run =
            runTool({"denoise", in.string(), "-o", out.string(), "--box", "0,0,16,16"});
        ASSERT_EQ(run.exitCode, 0)
            << name << ": " << (run.errorLines.empty() ? "" : run.errorLines[0]);
        const media::VideoInfo source = media::MediaReader::open(in)->info();
        const media::VideoInfo result = media::MediaReader::open(out)->info();
        EXPECT_EQ(result.width, 48) << name;
        EXPECT_EQ(result.height, 32) << name;
        EXPECT_EQ(result.frameCount, 1) << name;
        EXPECT_EQ(result.bitDepth, source.bitDepth) << name;
        EXPECT_EQ(result.isFloat, source.isFloat) << name;
        EXPECT_TRUE(bytesOf(in) == bytes) << name;
    }
    const ToolRun run = runTool({"denoise", (dir_ / "photo.png").string(), "-o",
                                 (dir_ / "one" / "%04d.png").string(), "--box", "0,0,16,16"});
    ASSERT_EQ(run.exitCode, 0);
    EXPECT_EQ(media::MediaReader::open(dir_ / "one" / "0000.png")->info().frameCount, 1);
    EXPECT_TRUE(temporaryFiles(dir_).empty());
}

// The clip's sound comes through the tool; --no-audio leaves it out; a --range chunk leaves
// it out with a line saying so, unless --audio.
TEST_F(ToolJobs, SoundComesThroughUnlessLeftOut) {
    const fs::path clip = dir_ / "clip.mkv";
    ASSERT_TRUE(media_files::ffmpeg(
        "-f lavfi -i testsrc2=s=48x32:r=24 -f lavfi -i sine=r=48000 -t 0.25 -c:v ffv1 "
        "-c:a flac '" +
        clip.string() + "'"));
    const std::string sound = media_files::output("ffmpeg -v error -i '" + clip.string() +
                                                  "' -map 0:a -f s16le - | md5sum");
    struct Case {
        std::vector<std::string> flags;
        bool hasSound;
        bool toldSo;
    };
    const Case cases[] = {{{}, true, false},
                          {{"--no-audio"}, false, false},
                          {{"--range", "2:4"}, false, true},
                          {{"--range", "2:4", "--audio"}, true, false}};
    for (const Case& c : cases) {
        const fs::path out = dir_ / "out.mkv";
        std::vector<std::string> args = {"denoise",   clip.string(), "-o", out.string(), "--box",
                                         "0,0,16,16", "--frames",    "1",  "-y"};
        args.insert(args.end(), c.flags.begin(), c.flags.end());
        const ToolRun run = runTool(args);
        const std::string label = c.flags.empty() ? "whole clip" : c.flags.back();
        ASSERT_EQ(run.exitCode, 0) << label;
        EXPECT_EQ(media_files::probe(out, "stream=codec_name", "a"), c.hasSound ? "flac" : "")
            << label;
        bool told = false;
        for (const std::string& line : run.errorLines)
            told |= line.find("--audio") != std::string::npos;
        EXPECT_EQ(told, c.toldSo) << label;
        if (c.flags.empty()) {
            EXPECT_EQ(media_files::output("ffmpeg -v error -i '" + out.string() +
                                          "' -map 0:a -f s16le - | md5sum"),
                      sound);
        }
    }
}

// A disk that fills up during the job (a file size limit on the tool's process, which then
// sees EFBIG as it would see ENOSPC): one line naming the cause, and no file left, neither
// under the output's name nor a temporary one.
TEST_F(ToolJobs, AFullDiskEndsInOneLineAndNoFile) {
    const fs::path input = dir_ / "clip.mkv";
    writeClip(input, 64, 48, 40);
    const fs::path output = dir_ / "out" / "clean.mkv";
    fs::create_directories(output.parent_path());
    Launch launch{.log = "full"};
    launch.beforeExec = [] {
        signal(SIGXFSZ, SIG_IGN);  // kept across exec: the write fails instead of killing
        const rlimit limit{48 * 1024, 48 * 1024};
        setrlimit(RLIMIT_FSIZE, &limit);
    };
    const ToolRun run = this->run(
        {"denoise", input.string(), "-o", output.string(), "--box", "0,0,16,16", "--frames", "1"},
        launch);
    EXPECT_EQ(run.exitCode, cli::kExitFailure);
    ASSERT_FALSE(run.errorLines.empty());
    EXPECT_NE(run.errorLines.back().find("File too large"), std::string::npos)
        << run.errorLines.back();
    EXPECT_TRUE(fs::is_empty(output.parent_path()));
}

// A folder the job may not write to is refused before the module loads (the module named
// does not exist, yet the line is about the folder). Root may write anywhere, so the tool
// runs as the unprivileged user then.
TEST_F(ToolJobs, AnUnwritableFolderIsRefusedBeforeStartUp) {
    const fs::path input = dir_ / "clip.mkv";
    writeClip(input, 32, 24, 1);
    fs::permissions(dir_, fs::perms::owner_all | fs::perms::group_exec | fs::perms::others_exec |
                              fs::perms::others_read | fs::perms::group_read);
    fs::permissions(input, fs::perms::others_read, fs::perm_options::add);
    const fs::path locked = dir_ / "locked";
    fs::create_directories(locked);
    fs::permissions(locked, fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_exec |
                                fs::perms::others_exec);
    Launch launch{.log = "locked", .module = (dir_ / "no_such_module.kspl").string()};
    if (geteuid() == 0) {
        launch.beforeExec = [] {
            if (setgid(65534) != 0 || setuid(65534) != 0) _exit(125);
        };
    }
    for (const std::string name : {"clean.mkv", "clean.png", "seq/%04d.png"}) {
        const ToolRun run = this->run(
            {"denoise", input.string(), "-o", (locked / name).string(), "--box", "0,0,8,8"},
            launch);
        EXPECT_EQ(run.exitCode, cli::kExitFailure) << name;
        ASSERT_EQ(run.errorLines.size(), 1u) << name;
        EXPECT_NE(run.errorLines[0].find("Permission denied"), std::string::npos)
            << run.errorLines[0];
    }
    EXPECT_TRUE(fs::is_empty(locked));
}

}  // namespace
