// Whole jobs of the tool on generated files: the frame cache, render-farm chunks against one
// whole render, every refusal, Ctrl-C, single images, sound, a clip's defaults and the preview
// of candidates. Expectations come from the job's definition, not from the tool's output.
#include <dlfcn.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

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
    // Starts the tool with stdout and stderr into files named after `log`; returns its pid.
    pid_t spawn(const std::vector<std::string>& args, const Launch& launch = {}) {
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
    ToolRun run(const std::vector<std::string>& args, const Launch& launch = {}) {
        return finish(spawn(args, launch), launch.log);
    }

    media_files::TempFolder folder_;
    const fs::path dir_ = folder_.path();
};

// Rendering every frame with a four-frame window decodes each frame exactly once, and the
// cache never holds more than the window.
TEST_F(ToolJobs, NoFrameIsDecodedTwiceWhileTheWindowNeedsIt) {
    const fs::path input = dir_ / "clip.mkv";
    writeClip(input, 64, 48, 10);
    cli::AnalysisOptions analysis;
    analysis.box = "0,0,32,48";
    cli::EffectSettings settings;
    settings.add("numberOfFrames", 2);  // the entry of four frames
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
    const std::vector<std::string> analyse = {"analyze", input.string(), "--profile-out", profile,
                                              "--box",   "2,2,28,44",    "--frames",      "4"};
    ASSERT_EQ(run(analyse).exitCode, 0);
    auto denoise = [&](const std::string& output, const std::string& range) {
        std::vector<std::string> args = {"denoise",      input.string(), "-o",     output,
                                         "--profile-in", profile,        "--track"};
        if (!range.empty()) args.insert(args.end(), {"--range", range});
        return spawn(args, {.log = "chunk" + range});
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

// Every job the tool must refuse: one line naming the cause, an exit code below 128, no
// output and no temporary file left, and the input's bytes unchanged. Refusals that need
// no picture come before the module loads: there the module named does not exist, and the
// line must still be about the cause. The full disk is a file size limit on the tool's
// process (EFBIG, as ENOSPC would be); root may write anywhere, so the locked folder is
// tried as the unprivileged user.
TEST_F(ToolJobs, RefusedJobsSayWhyInOneLineAndLeaveNothing) {
    const fs::path clip = dir_ / "clip.mkv";
    writeClip(clip, 64, 48, 3);
    const fs::path longClip = dir_ / "long.mkv";
    writeClip(longClip, 64, 48, 40);
    const fs::path shots = dir_ / "shots";
    fs::create_directories(shots);
    for (const char* name : {"0001.png", "0002.png"})
        media::writeStill(shots / name, clipFrame(32, 24, 1, 2), false);
    {
        std::ofstream out(dir_ / "noise.mp4", std::ios::binary);
        std::mt19937 generator(3);
        for (int i = 0; i < 4096; ++i) out.put(char(generator()));
    }
    fs::copy_file(dir_ / "noise.mp4", dir_ / "noise.png");
    fs::copy_file(clip, dir_ / "truncated.mkv");
    fs::resize_file(dir_ / "truncated.mkv", fs::file_size(clip) / 2);
    // Cut in half, with the index at the end (lost) and at the front (frames lost).
    for (const std::string flags : {"", "-movflags +faststart "}) {
        const fs::path mp4 = dir_ / (flags.empty() ? "cut.mp4" : "cutfast.mp4");
        const std::string card = "-f lavfi -i testsrc2=s=64x48:r=25 -frames:v 20 -c:v libx264 ";
        ASSERT_TRUE(media_files::ffmpeg(card + flags + mp4.string()));
        fs::resize_file(mp4, fs::file_size(mp4) / 2);
    }
    std::ofstream(dir_ / "huge.y4m") << "YUV4MPEG2 W20000 H20000 F25:1 C444\nFRAME\n";
    std::ofstream(dir_ / "bad.json") << "{\"parameters\": {";
    std::ofstream(dir_ / "unknown.json") << "{\"parameters\": {\"noSuchParameter\": 1}}";
    std::ofstream(dir_ / "text.kspl") << "plain text";
    std::ofstream(dir_ / "junk.mkv") << "not a video";
    fs::create_hard_link(clip, dir_ / "hard.mkv");
    fs::copy_file(clip, dir_ / "clean.mkv");
    const fs::path locked = dir_ / "locked";
    fs::create_directories(locked / "seq");  // a sequence's folder that exists, locked too
    for (const fs::path& folder : {locked / "seq", locked})
        fs::permissions(folder, fs::perms::owner_read | fs::perms::owner_exec |
                                    fs::perms::group_exec | fs::perms::others_exec);
    fs::permissions(dir_, fs::perms::others_read | fs::perms::others_exec, fs::perm_options::add);
    fs::permissions(clip, fs::perms::others_read, fs::perm_options::add);
    std::map<fs::path, std::string> before;
    for (const auto& entry : fs::recursive_directory_iterator(dir_))
        if (entry.is_regular_file()) before[entry.path()] = bytesOf(entry.path());

    const std::string in = clip.string(), out = (dir_ / "out.mkv").string();
    auto at = [&](const std::string& name) { return (dir_ / name).string(); };
    const Launch absent{.module = at("absent.kspl")};
    Launch nobody = absent;
    if (geteuid() == 0) {
        nobody.beforeExec = [] {
            if (setgid(65534) != 0 || setuid(65534) != 0) _exit(125);
        };
    }
    Launch fullDisk;
    fullDisk.beforeExec = [] {
        signal(SIGXFSZ, SIG_IGN);  // kept across exec: the write fails instead of killing
        const rlimit limit{48 * 1024, 48 * 1024};
        setrlimit(RLIMIT_FSIZE, &limit);
    };
    const std::string never = "the input is never written to";
    const int usage = cli::kExitUsage, failure = cli::kExitFailure;
    const std::vector<std::string> startUp = {"denoise", in, "-o", out, "--box", "0,0,8,8"};
    struct Case {
        std::vector<std::string> args;
        Launch launch;
        std::string says;
        int exitCode = 0;  // 0: any below 128
    };
    const Case cases[] = {
        // Input the reader refuses.
        {{"denoise", at("missing.mkv"), "-o", out},
         {},
         "cannot open '" + at("missing.mkv") + "': No such file or directory"},
        {{"denoise", at("none_%04d.png"), "-o", out}, {}, "no file matches"},
        {{"denoise", at("noise.mp4"), "-o", out}, {}, "noise.mp4"},
        {{"denoise", at("noise.png"), "-o", out}, {}, "noise.png"},
        {{"denoise", at("cut.mp4"), "-o", out}, {}, "cut.mp4"},
        {{"denoise", at("cutfast.mp4"), "-o", out}, {}, "cutfast.mp4"},
        {{"denoise", at("truncated.mkv"), "-o", out}, {}, "truncated.mkv"},
        {{"denoise", at("huge.y4m"), "-o", out}, {}, "huge.y4m"},
        {{"info", at("noise.mp4")}, {}, "noise.mp4"},
        {{"denoise", in, "-o", out, "--profile-in", at("bad.json")}, {}, "bad.json"},
        {{"denoise", in, "-o", out, "--profile-in", at("unknown.json")}, {}, "noSuchParameter"},
        {{"denoise", in}, {}, "--output", usage},
        // Options malformed or refuted by the input's description, before start-up.
        {{"denoise", in, "-o", out, "--box", "60,40,32,32"}, absent, "--box", usage},
        {{"denoise", in, "-o", out, "--range", "5:9"}, absent, "--range", usage},
        {{"denoise", in, "-o", out, "--analyze-frame", "7"}, absent, "--analyze-frame"},
        {{"denoise", in, "-o", out, "--frames", "3"}, {}, "--frames"},
        {{"denoise", in, "-o", out, "--audio", "--no-audio"}, absent, "--audio"},
        {{"denoise", in, "-o", at("one.png")}, absent, "single image"},
        {{"denoise", in, "-o", at("out.webm")}, absent, ".webm"},
        {{"denoise", in, "-o", at("out.xyz")}, absent, ".xyz"},
        {{"analyze", in, "--profile-out", at("p.json"), "--box", "1,2"}, absent, "--box"},
        {{"preview", in, "-o", at("look"), "--box", "x"}, absent, "--box"},
        // Outputs that reach a file the job reads, even with -y (every way of naming one is
        // cli_settings_test's); a junk input is never decoded.
        {{"denoise", in, "-o", in, "-y"}, absent, never, usage},
        {{"denoise", at("junk.mkv"), "-o", at("junk.mkv"), "-y"}, absent, never, usage},
        {{"denoise", in, "-o", at("clean.mkv"), "--reference", at("clean.mkv"), "-y"},
         absent,
         never,
         usage},
        {{"denoise", in, "-o", out, "--profile-out", at("hard.mkv"), "-y"}, absent, never, usage},
        // A folder the job may not write to, before start-up.
        {{"denoise", in, "-o", at("locked/clean.mkv")}, nobody, "Permission denied", failure},
        {{"denoise", in, "-o", at("locked/seq/%04d.png")}, nobody, "Permission denied", failure},
        {{"denoise", at("shots/0001.png"), "-o", at("locked/one.tif")},
         nobody,
         "Permission denied",
         failure},
        // Start-up: no module, not a module, a module without the entry points, no OpenGL
        // (EGL finds no driver when told to look nowhere).
        {startUp, absent, "not found", failure},
        {startUp, {.module = at("text.kspl")}, "cannot load", failure},
        {startUp, {.module = sharedLibraryWithoutEntryPoints()}, "does not export", failure},
        {startUp,
         {.environment = {"__EGL_VENDOR_LIBRARY_FILENAMES=/nonexistent/egl.json",
                          "RUVOVAV_GL=auto"}},
         "OpenGL",
         failure},
        // A disk that fills up while the job writes.
        {{"denoise", longClip.string(), "-o", out, "--box", "0,0,16,16", "--frames", "1"},
         fullDisk,
         "File too large",
         failure},
    };
    for (const Case& c : cases) {
        std::string command;
        for (const std::string& a : c.args) command += " " + a;
        const ToolRun run = this->run(c.args, c.launch);
        if (c.exitCode != 0) {
            EXPECT_EQ(run.exitCode, c.exitCode) << command;
        } else {
            EXPECT_GT(run.exitCode, 0) << command;
            EXPECT_LT(run.exitCode, 128) << command;
        }
        // Beside the cause, a malformed command line may say where help is, and a job that
        // got going its progress.
        EXPECT_LE(run.errorLines.size(), 2u) << command;
        const auto why =
            std::find_if(run.errorLines.begin(), run.errorLines.end(),
                         [&](const std::string& l) { return l.find(c.says) != l.npos; });
        ASSERT_NE(why, run.errorLines.end()) << command << " does not say " << c.says;
        EXPECT_EQ(why->rfind("ruvovav: ", 0), 0u) << *why;
        if (c.launch.module == absent.module && c.says != "not found") {
            EXPECT_EQ(why->find("module"), std::string::npos) << *why;
        }
        for (const char* name : {"out.mkv", "one.png", "out.webm", "out.xyz", "p.json", "look"})
            EXPECT_FALSE(fs::exists(dir_ / name)) << command << " left " << name;
    }
    for (const auto& [file, bytes] : before) EXPECT_TRUE(bytesOf(file) == bytes) << file;
    EXPECT_TRUE(fs::is_empty(locked / "seq"));
    EXPECT_EQ(std::distance(fs::directory_iterator(locked), {}), 1);
    EXPECT_TRUE(temporaryFiles(dir_).empty());
}

// Ctrl-C stops after the frame in hand and leaves a finished, readable file of the frames
// done, renamed from its temporary name.
TEST_F(ToolJobs, InterruptLeavesAFinishedOutputOfTheFramesDone) {
    const fs::path input = dir_ / "long.mkv";
    writeClip(input, 96, 64, 120);
    const fs::path output = dir_ / "out.mkv";
    const pid_t pid = spawn({"denoise", input.string(), "-o", output.string(), "--box", "4,4,40,56",
                             "--frames", "2", "--no-track"});
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

// A single image in, a single image out, at the input's depth and size; or into a one-frame
// sequence. The input images are made by the ffmpeg tool (EXR, which it cannot write, by our
// writer); the depth expected is what the reader finds in the input.
TEST_F(ToolJobs, SingleImagesWork) {
    for (const auto& [name, format] :
         {std::pair{"photo.png", "rgb24"}, std::pair{"photo.dpx", "gbrp10le"}})
        ASSERT_TRUE(media_files::ffmpeg("-f lavfi -i testsrc2=s=48x32 -frames:v 1 -pix_fmt " +
                                        std::string(format) + " " + (dir_ / name).string()));
    media::writeStill(dir_ / "photo.exr", clipFrame(48, 32, 0, 3), false);  // half floats
    for (const std::string name : {"photo.png", "photo.dpx", "photo.exr"}) {
        const fs::path in = dir_ / name;
        const fs::path out = dir_ / ("clean" + in.extension().string());
        const std::string bytes = bytesOf(in);
        const ToolRun run =
            this->run({"denoise", in.string(), "-o", out.string(), "--box", "0,0,16,16"});
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
    const ToolRun run = this->run({"denoise", (dir_ / "photo.png").string(), "-o",
                                   (dir_ / "one" / "%04d.png").string(), "--box", "0,0,16,16"});
    ASSERT_EQ(run.exitCode, 0);
    EXPECT_EQ(media::MediaReader::open(dir_ / "one" / "0000.png")->info().frameCount, 1);
    EXPECT_TRUE(temporaryFiles(dir_).empty());
}

// The clip's sound comes through the tool (copied unchanged, as media_io_test checks of the
// writer); --no-audio leaves it out; a --range chunk leaves it out with a line saying so,
// unless --audio.
TEST_F(ToolJobs, SoundComesThroughUnlessLeftOut) {
    const fs::path clip = dir_ / "clip.mkv";
    ASSERT_TRUE(
        media_files::ffmpeg("-f lavfi -i testsrc2=s=48x32:r=24 -f lavfi -i sine=r=48000 "
                            "-t 0.25 -c:v ffv1 -c:a flac " +
                            clip.string()));
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
        const ToolRun run = this->run(args);
        const std::string label = c.flags.empty() ? "whole clip" : c.flags.back();
        ASSERT_EQ(run.exitCode, 0) << label;
        EXPECT_EQ(media_files::probe(out, "stream=codec_name", "a"), c.hasSound ? "flac" : "")
            << label;
        std::string leftOut;  // what was said of the sound: --no-audio is its own answer
        for (const std::string& line : run.errorLines)
            if (line.find("left out") != std::string::npos) leftOut += line;
        EXPECT_EQ(!leftOut.empty(), c.toldSo) << label;
        EXPECT_EQ(leftOut.find("--audio") != std::string::npos, c.toldSo) << leftOut;
    }
}

// A clip gets four aligned frames, a single picture one; a flag still wins.
TEST_F(ToolJobs, AClipDefaultsToFourTrackedFramesAndASinglePictureToOne) {
    const std::string clip = (dir_ / "clip.mkv").string(),
                      still = (dir_ / "still_%04d.png").string();
    writeClip(clip, 256, 128, 3);
    writeClip(still, 256, 128, 1);
    const auto framesEntry = [](cli::ClipJob& job) {
        return int(job.session->parameters().value("numberOfFrames", 0).x);
    };
    cli::ClipJob clipJob = cli::startClipJob({}, clip, {}, {});
    EXPECT_EQ(framesEntry(clipJob), 2);  // the entries are 1, 2, 4 and 8 frames
    EXPECT_NE(clipJob.session->parameters().value("useOpticalFlowTracking", 0).x, 0);
    cli::ClipJob stillJob = cli::startClipJob({}, still, {}, {});
    EXPECT_EQ(framesEntry(stillJob), 0);
    cli::EffectSettings oneFrame;
    oneFrame.add("numberOfFrames", 0);
    cli::ClipJob fast = cli::startClipJob({}, clip, {}, oneFrame);
    EXPECT_EQ(framesEntry(fast), 0);
}

// Without --box, preview adds the picture to choose a box from: the frame with every
// candidate outlined and the chosen box outlined in white.
TEST_F(ToolJobs, PreviewWithoutABoxDrawsTheCandidatesAndTheChoice) {
    writeClip(dir_ / "clip.mkv", 256, 128, 2);
    cli::PreviewOptions options;
    options.input = (dir_ / "clip.mkv").string();
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
    // Given a box, there is nothing to choose from; every other view is written, at the
    // frame's size.
    options.analysis.box = "0,0,64,64";
    options.outputDir = (dir_ / "given").string();
    ASSERT_EQ(cli::runPreview(options), 0);
    EXPECT_FALSE(fs::exists(dir_ / "given" / "candidates.png"));
    std::vector<std::string> views = {"analysis_box", "before_after"};
    for (const char* plane : {"Y", "U", "V"}) {
        for (const char* level : {"0", "1", "3"})
            views.push_back(std::string("frequency_") + plane + "_level" + level);
    }
    for (const std::string& view : views) {
        media::Picture p;
        ASSERT_TRUE(media::MediaReader::open(dir_ / "given" / (view + ".png"))->read(0, p)) << view;
        EXPECT_EQ(p.width, 256);
        EXPECT_EQ(p.height, 128);
    }
}

}  // namespace
