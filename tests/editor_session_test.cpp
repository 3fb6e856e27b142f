// The adapters' session: its settings, its GL thread and where it finds the module.
#include <gtest/gtest.h>

#include <unistd.h>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <thread>
#include <vector>

#include "cli/value_parsers.h"
#include "editor_core/gl_thread.h"
#include "editor_core/module_location.h"
#include "editor_core/session_settings.h"
#include "media_files.h"

namespace ruvovav::editor {
namespace {

// The adapter's settings over a profile, on a store declaring the parameters involved the
// way the effect declares them; expectations worked out by hand.

using kestrel::ParameterKind;

kestrel::ParameterStore declaredStore() {
    kestrel::ParameterStore store;
    store.declare({.id = "numberOfFrames",
                   .kind = ParameterKind::Choice,
                   .entries = {L"1", L"2", L"4", L"8"},
                   .entryValues = {1, 2, 4, 8}});
    store.declare({.id = "useOpticalFlowTracking", .kind = ParameterKind::Bool});
    for (const char* c : {"Y", "U", "V"}) {
        store.declare({.id = std::string("Channel:") + c + ":NoiseRemoval",
                       .max = 100,
                       .defaultValue = {80, 0}});
    }
    for (int layer = 0; layer < 10; ++layer) {
        store.declare({.id = "Frequency:L" + std::to_string(layer) + ":NoiseRemoval",
                       .max = 100,
                       .defaultValue = {100, 0}});
    }
    return store;
}

double valueOf(const std::vector<cli::ParameterSetting>& settings, const std::string& id) {
    for (const cli::ParameterSetting& s : settings) {
        if (s.id == id) return s.value.x;
    }
    ADD_FAILURE() << id << " is not among the settings";
    return -1;
}

// A profile in a file of its own, for the length of a test.
struct ProfileFile {
    media_files::TempFolder folder;
    explicit ProfileFile(const std::string& text) { std::ofstream(path()) << text; }
    std::string path() const { return (folder / "profile.json").string(); }
};

// Without a profile, as the tool starts a clip; settings left unset keep it, others override.
TEST(SessionSettings, StartAsTheToolStartsAClipAndTakeOverrides) {
    kestrel::ParameterStore store = declaredStore();
    const StartedSettings started = startSettings(store, "");
    EXPECT_EQ(started.frames, 4);  // the tool's default for a clip
    EXPECT_FALSE(started.analysed);
    EXPECT_EQ(valueOf(started.adjustable, "useOpticalFlowTracking"), 1);
    EXPECT_EQ(started.adjustable.size(), 2u + 3u + 10u);
    const auto unset = adjustedSettings(started, {}, store);
    for (size_t i = 0; i < unset.size(); ++i)
        EXPECT_EQ(unset[i].value, started.adjustable[i].value) << unset[i].id;
    EXPECT_EQ(windowFrames(started, {}), 4);
    const auto adjusted = adjustedSettings(started, {.frames = 8, .tracking = false}, store);
    EXPECT_EQ(valueOf(adjusted, "numberOfFrames"), 3);  // the entry of 8 frames
    EXPECT_EQ(valueOf(adjusted, "useOpticalFlowTracking"), 0);
    EXPECT_EQ(windowFrames(started, {.frames = 2}), 2);
    EXPECT_EQ(windowFrames(started, {.frames = 3}), 4);  // not a window length: the profile's
}

TEST(SessionSettings, TakeTheProfilesValuesOrRefuseItWhenUnusable) {
    kestrel::ParameterStore store = declaredStore();
    const ProfileFile profile(
        R"({"parameters": {"numberOfFrames": 3, "useOpticalFlowTracking": false,
                                             "Channel:Y:NoiseRemoval": 30}})");
    const StartedSettings started = startSettings(store, profile.path());
    EXPECT_EQ(started.frames, 8);
    EXPECT_TRUE(started.analysed);
    EXPECT_EQ(valueOf(started.adjustable, "useOpticalFlowTracking"), 0);
    EXPECT_EQ(valueOf(started.adjustable, "Channel:Y:NoiseRemoval"), 30);
    EXPECT_EQ(windowFrames(started, {.frames = 3}), 8);  // not a window length: the profile's
    EXPECT_THROW(startSettings(store, "/nonexistent/profile.json"), cli::UsageError);
}

TEST(SessionSettings, StrengthScalesEveryRemovalAmountWithinItsRange) {
    kestrel::ParameterStore store = declaredStore();
    const ProfileFile profile(R"({"parameters": {"Channel:U:NoiseRemoval": 30,
                                             "Frequency:L4:NoiseRemoval": 45}})");
    const StartedSettings started = startSettings(store, profile.path());
    const auto doubled = adjustedSettings(started, {.strength = 2.0}, store);
    EXPECT_EQ(valueOf(doubled, "Channel:Y:NoiseRemoval"), 100);  // 160, capped
    EXPECT_EQ(valueOf(doubled, "Channel:U:NoiseRemoval"), 60);
    EXPECT_EQ(valueOf(doubled, "Frequency:L4:NoiseRemoval"), 90);
    const auto halved = adjustedSettings(started, {.strength = 0.5}, store);
    EXPECT_EQ(valueOf(halved, "Channel:Y:NoiseRemoval"), 40);
    EXPECT_EQ(valueOf(halved, "Frequency:L9:NoiseRemoval"), 50);
    EXPECT_EQ(valueOf(halved, "numberOfFrames"), 2);  // untouched: the entry of 4 frames
}

// The GL thread's queue on its own, with plain tasks (no GL): one thread runs every task, in
// turn. That it ends with its last holder is checked by the frei0r and GStreamer tests.

TEST(GlThread, RunsEveryTaskOnOneOtherThreadAndHandsBackWhatItThrows) {
    const std::shared_ptr<GlThread> thread = GlThread::shared();
    std::thread::id first, second;
    thread->run([&] { first = std::this_thread::get_id(); });
    EXPECT_THROW(thread->run([] { throw std::runtime_error("refused"); }), std::runtime_error);
    thread->run([&] { second = std::this_thread::get_id(); });
    EXPECT_NE(first, std::this_thread::get_id());
    EXPECT_EQ(first, second);
    EXPECT_EQ(GlThread::shared(), thread);
    EXPECT_TRUE(GlThread::running());  // its end is checked where the adapters end
}

TEST(GlThread, RunsTasksFromManyThreadsOneAfterTheOther) {
    const std::shared_ptr<GlThread> thread = GlThread::shared();
    int counter = 0;  // no lock: the tasks never overlap
    std::vector<std::thread> callers;
    for (int c = 0; c < 4; ++c) {
        callers.emplace_back([&] {
            for (int i = 0; i < 100; ++i) thread->run([&] { ++counter; });
        });
    }
    for (std::thread& caller : callers) caller.join();
    EXPECT_EQ(counter, 400);
}

// Where the adapters look for the effect module.

// Beside its own file (linked into this test program, that is the executable), unless the
// environment names one; empty is as if unset.
TEST(ModuleLocation, LooksBesideItsOwnFileOrWhereTheEnvironmentSays) {
    unsetenv(kModuleVariable);
    const std::filesystem::path self = std::filesystem::canonical("/proc/self/exe");
    EXPECT_EQ(ownBinaryPath(), self);
    EXPECT_EQ(effectModulePath(), self.parent_path() / "Ruvovav.kspl");
    setenv(kModuleVariable, "/opt/effects/Ruvovav.kspl", 1);
    EXPECT_EQ(effectModulePath(), "/opt/effects/Ruvovav.kspl");
    setenv(kModuleVariable, "", 1);
    EXPECT_EQ(effectModulePath(), self.parent_path() / "Ruvovav.kspl");
    unsetenv(kModuleVariable);
}

}  // namespace
}  // namespace ruvovav::editor
