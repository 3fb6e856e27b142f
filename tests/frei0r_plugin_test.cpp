// The frei0r plug-in through its entry points, in this process, on llvmpipe: what hosts are
// told, what construction costs, denoising against the effect's own render of the same
// window, the window starting again after a seek, a repeat or a gap, frames shared between
// instances, instances on several threads, and frames that pass unchanged when the effect
// cannot run. Expected pictures come from the tool's own route (its session, analysis and
// conversions) or from a fresh instance given only the frames that may be combined.
#include <dirent.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "cli/analysis_runner.h"
#include "cli/effect_session.h"
#include "cli/frame_cache.h"
#include "cli/host_frames.h"
#include "cli/profile.h"
#include "editor_core/gl_thread.h"
#include "frei0r/frei0r_api.h"
#include "frei0r/frei0r_instance.h"
#include "frei0r_test_clip.h"

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;
using frei0r_test::clipFrame;
using frei0r_test::kHeight;
using frei0r_test::kWidth;

constexpr double kNoise = 10.0;

double ms(int frame) {
    return 40.0 * frame;  // FFmpeg at 25 fps
}

// One frei0r instance, driven the way hosts drive it.
class Plugin {
public:
    explicit Plugin(const std::string& profile, unsigned width = kWidth, unsigned height = kHeight)
        : instance_(f0r_construct(width, height)) {
        setProfile(profile);
    }
    ~Plugin() { destroy(); }
    Plugin(const Plugin&) = delete;
    Plugin& operator=(const Plugin&) = delete;

    void setProfile(const std::string& path) {
        const char* text = path.c_str();
        f0r_set_param_value(instance_, &text, 0);
    }
    void setNumber(int index, double value) { f0r_set_param_value(instance_, &value, index); }
    std::string profile() const {
        const char* text = nullptr;
        f0r_get_param_value(instance_, &text, 0);
        return text;
    }
    Bytes update(double time, const Bytes& in) {
        Bytes out(in.size());
        f0r_update(instance_, time, reinterpret_cast<const uint32_t*>(in.data()),
                   reinterpret_cast<uint32_t*>(out.data()));
        return out;
    }
    int outstandingImages() {
        return static_cast<ruvovav::frei0r::Instance*>(instance_)->effect.outstandingImages();
    }
    void destroy() {
        if (instance_ != nullptr) f0r_destruct(instance_);
        instance_ = nullptr;
    }

private:
    f0r_instance_t instance_;
};

int threadsOfProcess() {
    int count = 0;
    DIR* tasks = opendir("/proc/self/task");
    while (const dirent* entry = readdir(tasks)) count += entry->d_name[0] != '.';
    closedir(tasks);
    return count;
}

// The host's frame for 8-bit straight RGBA, scaled as the tool's decoder scales 8 bits and
// converted by the tool's own conversion.
kestrel::Frame toolFrame(const Bytes& bytes) {
    ruvovav::media::Picture picture{kWidth, kHeight, {}};
    for (uint8_t b : bytes) picture.rgba.push_back(float(b) * (1.0f / 255.0f));
    return ruvovav::cli::hostFrameOf(picture);
}

// The tool's session on this thread, set up as `ruvovav denoise --profile-in` sets it up.
std::unique_ptr<ruvovav::cli::EffectSession> toolSession(const std::string& profile) {
    auto session = std::make_unique<ruvovav::cli::EffectSession>(RUVOVAV_MODULE_PATH,
                                                                 kestrel::GlBackend::Automatic);
    kestrel::ParameterStore& store = session->parameters();
    ruvovav::cli::applySettings(store, ruvovav::cli::clipDefaults());
    if (!profile.empty()) {
        ruvovav::cli::applySettings(store, ruvovav::cli::loadProfile(profile, store));
    }
    return session;
}

class Frei0rPlugin : public ::testing::Test {
protected:
    // A profile of the first noisy frame, made by the tool's analysis, for 4 tracked frames.
    static void SetUpTestSuite() {
        // The module this build made, wherever the test program lives.
        setenv("RUVOVAV_MODULE", RUVOVAV_MODULE_PATH, 1);
        dir_ = fs::temp_directory_path() / ("ruvovav_frei0r_" + std::to_string(getpid()));
        fs::create_directories(dir_);
        profile_ = (dir_ / "grain.json").string();
        auto session = toolSession("");
        const kestrel::Frame first = toolFrame(clipFrame(0, kNoise));
        session->setClip(kWidth, kHeight, 1, [&](int) { return &first; });
        ruvovav::cli::runAnalysis(*session, first, {});
        ruvovav::cli::saveProfile(profile_, ruvovav::cli::makeProfile(session->parameters(), {}),
                                  true);
    }
    static void TearDownTestSuite() { fs::remove_all(dir_); }

    static fs::path dir_;
    static std::string profile_;
};

fs::path Frei0rPlugin::dir_;
std::string Frei0rPlugin::profile_;

TEST_F(Frei0rPlugin, TellsHostsWhatItIs) {
    EXPECT_EQ(f0r_init(), 1);
    f0r_plugin_info_t info{};
    f0r_get_plugin_info(&info);
    EXPECT_STREQ(info.name, "ruvovav");  // GStreamer's element: frei0r-filter-ruvovav
    EXPECT_EQ(info.plugin_type, F0R_PLUGIN_TYPE_FILTER);
    EXPECT_EQ(info.color_model, F0R_COLOR_MODEL_RGBA8888);
    EXPECT_EQ(info.frei0r_version, FREI0R_MAJOR_VERSION);
    ASSERT_EQ(info.num_params, 4);
    const char* names[] = {"profile", "frames", "tracking", "strength"};
    for (int i = 0; i < info.num_params; ++i) {
        f0r_param_info_t param{};
        f0r_get_param_info(&param, i);
        EXPECT_STREQ(param.name, names[i]);
        EXPECT_EQ(param.type, i == 0 ? F0R_PARAM_STRING : F0R_PARAM_DOUBLE);
    }
    f0r_deinit();
}

// Frames 0 .. count - 1 of the noisy clip, given at 25 fps in milliseconds; the outputs.
std::vector<Bytes> playClip(Plugin& plugin, int count, double (*timeOf)(int) = ms) {
    std::vector<Bytes> outputs;
    for (int i = 0; i < count; ++i) {
        outputs.push_back(plugin.update(timeOf(i), clipFrame(i, kNoise)));
    }
    return outputs;
}

// Renders single frames: every call is a step back in time, which starts the window again.
class SingleFrames {
public:
    explicit SingleFrames(const std::string& profile) : plugin_(profile) {}
    Bytes render(const Bytes& frame) { return plugin_.update(time_ -= 1000.0, frame); }

private:
    Plugin plugin_;
    double time_ = 1e6;
};

TEST_F(Frei0rPlugin, RendersTheEffectsOwnPictureOfTheFramesBefore) {
    Plugin plugin(profile_);
    const Bytes result = playClip(plugin, 5).back();
    EXPECT_EQ(plugin.outstandingImages(), 0);
    // The tool's session on the clip of frames 1 .. 4, rendering its last frame: the
    // effect's end-of-clip window is the same four frames.
    auto session = toolSession(profile_);
    std::vector<kestrel::Frame> frames;
    for (int i = 1; i <= 4; ++i) frames.push_back(toolFrame(clipFrame(i, kNoise)));
    session->setClip(kWidth, kHeight, 4, [&](int i) { return &frames[size_t(i)]; });
    const ruvovav::media::Picture expected =
        ruvovav::cli::pictureOf(session->render(3), kWidth, kHeight);
    EXPECT_EQ(session->host().gl()->lentImages().outstanding(), 0);
    // Dithered: each byte within one step of the exact value.
    for (size_t i = 0; i < result.size(); ++i) {
        ASSERT_LT(std::abs(double(result[i]) - 255.0 * double(expected.rgba[i])), 1.0) << i;
    }
}

TEST_F(Frei0rPlugin, StartsTheWindowAgainAfterASeekARepeatOrAGapAndFollowsItsLength) {
    SingleFrames alone(profile_);
    Plugin plugin(profile_);
    playClip(plugin, 5);
    // A seek back to another scene: nothing of the frames before may be mixed in.
    const Bytes other = clipFrame(0, kNoise, 2, 0.6);
    EXPECT_EQ(plugin.update(ms(0), other), alone.render(other));
    playClip(plugin, 4);
    // MLT's repeat of the last frame at a clip's end.
    EXPECT_EQ(plugin.update(ms(3), clipFrame(3, kNoise)), alone.render(clipFrame(3, kNoise)));
    playClip(plugin, 4);
    // A gap: frames 4 and 5 never came.
    EXPECT_EQ(plugin.update(ms(6), clipFrame(6, kNoise)), alone.render(clipFrame(6, kNoise)));
    // The window it is given: one frame.
    plugin.setNumber(1, 0.25);
    EXPECT_EQ(plugin.update(ms(7), clipFrame(7, kNoise)), alone.render(clipFrame(7, kNoise)));
    EXPECT_EQ(plugin.outstandingImages(), 0);
}

TEST_F(Frei0rPlugin, RendersFramesSharedOutBetweenInstancesAlone) {
    // MLT's parallel rendering: even frames to one instance, odd frames to another.
    Plugin even(profile_), odd(profile_);
    std::vector<Bytes> evenOut;
    for (int i = 0; i < 6; ++i) {
        const Bytes out = (i % 2 == 0 ? even : odd).update(ms(i), clipFrame(i, kNoise));
        if (i % 2 == 0) evenOut.push_back(out);
    }
    SingleFrames alone(profile_);
    EXPECT_EQ(evenOut[2], alone.render(clipFrame(4, kNoise)));
}

TEST_F(Frei0rPlugin, AnalysesTheFirstFrameWithoutAProfileAndKeepsTheResult) {
    // The first frame analysed as the tool does it, then a frame of twice the noise: it must
    // be denoised with the first frame's analysis, as a profile of that analysis does it.
    Plugin automatic("");
    automatic.update(ms(0), clipFrame(0, kNoise));
    const Bytes noisier = clipFrame(9, 2 * kNoise, 3);
    const Bytes result = automatic.update(ms(100), noisier);
    EXPECT_EQ(result, SingleFrames(profile_).render(noisier));
    EXPECT_EQ(automatic.outstandingImages(), 0);
}

TEST_F(Frei0rPlugin, ReadsTheProfileOnlyWhenItsPathChanges) {
    // MLT sets every parameter before every frame.
    const fs::path copy = dir_ / "copy.json";
    fs::copy_file(profile_, copy, fs::copy_options::overwrite_existing);
    Plugin plugin(copy.string());
    const Bytes frame = clipFrame(0, kNoise);
    EXPECT_NE(plugin.update(ms(0), frame), frame);
    std::ofstream(copy) << "not a profile";
    plugin.setProfile(copy.string());
    EXPECT_NE(plugin.update(ms(1), clipFrame(1, kNoise)), clipFrame(1, kNoise));
    plugin.setProfile(profile_);
    plugin.update(ms(2), clipFrame(2, kNoise));
    // Changed again: read again and refused, said in one line once; frames pass unchanged.
    plugin.setProfile(copy.string());
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(plugin.update(ms(3), clipFrame(3, kNoise)), clipFrame(3, kNoise));
    plugin.setProfile(profile_);
    EXPECT_NE(plugin.update(ms(4), clipFrame(4, kNoise)), clipFrame(4, kNoise));
    plugin.setProfile(copy.string());  // refused again: nothing more is said
    EXPECT_EQ(plugin.update(ms(5), clipFrame(5, kNoise)), clipFrame(5, kNoise));
    const std::string said = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(said.find(copy.string()), std::string::npos) << said;
    EXPECT_EQ(said.find('\n'), said.size() - 1) << "one line, once: " << said;
}

TEST_F(Frei0rPlugin, LetsFramesPassUntilOneCanBeAnalysed) {
    Plugin plugin("");
    const Bytes blank(size_t(4) * kWidth * kHeight, 128);
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(plugin.update(ms(0), blank), blank);
    const std::string said = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(said.find("analysis"), std::string::npos) << said;
    const Bytes frame = clipFrame(1, kNoise);
    EXPECT_NE(plugin.update(ms(1), frame), frame);
}

// Construction starts nothing and reads nothing (as while GStreamer scans plug-ins, with a
// profile that does not exist); instances used on several threads end on another.
TEST_F(Frei0rPlugin, ConstructionStartsNothingAndInstancesOnSeveralThreadsEndOnAnother) {
    const int threads = threadsOfProcess();
    {
        Plugin plugin("/nonexistent/profile.json", 640, 480);
        EXPECT_EQ(plugin.profile(), "/nonexistent/profile.json");
        EXPECT_FALSE(ruvovav::editor::GlThread::running());
        EXPECT_EQ(threadsOfProcess(), threads);
    }
    EXPECT_EQ(threadsOfProcess(), threads);
    auto first = std::make_unique<Plugin>(profile_);
    auto second = std::make_unique<Plugin>(profile_);
    std::thread a([&] { playClip(*first, 3); });
    std::thread b([&] { playClip(*second, 3); });
    a.join();
    b.join();
    EXPECT_EQ(first->outstandingImages(), 0);
    EXPECT_EQ(second->outstandingImages(), 0);
    std::thread([&] {
        first.reset();
        second.reset();
    }).join();
    EXPECT_FALSE(ruvovav::editor::GlThread::running());
    // Mesa's own worker threads stay with its display; ours are gone.
    EXPECT_LE(threadsOfProcess(), threads + 0) << "a thread outlived every instance";
}

TEST(Frei0rKdenlive, DescribesThePluginsOwnParameters) {
    std::ifstream file(RUVOVAV_KDENLIVE_XML);
    ASSERT_TRUE(file) << RUVOVAV_KDENLIVE_XML;
    const std::string xml((std::istreambuf_iterator<char>(file)), {});
    EXPECT_NE(xml.find(R"(tag="frei0r.ruvovav")"), std::string::npos);
    const std::regex parameter(R"re(<parameter type="(\w+)" name="(\w+)")re");
    std::vector<std::string> names;
    for (auto m = std::sregex_iterator(xml.begin(), xml.end(), parameter);
         m != std::sregex_iterator(); ++m) {
        names.push_back((*m)[2]);
        if (names.size() == 1) {
            EXPECT_EQ((*m)[1], "url") << "the profile gets a file picker";
        }
    }
    // The plug-in's own names, as TellsHostsWhatItIs checks them.
    EXPECT_EQ(names, (std::vector<std::string>{"profile", "frames", "tracking", "strength"}));
}

}  // namespace
