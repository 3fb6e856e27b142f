// The built plug-in as users find it: through GST_PLUGIN_PATH, documented by gst-inspect-1.0,
// and in a gst-launch-1.0 pipeline from PNGs to PNGs, against the tool on the same frames.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "frei0r_test_clip.h"

namespace {

namespace fs = std::filesystem;

constexpr int kFrames = 6;

int run(const std::string& command) {
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string output(const std::string& command) {
    std::string text;
    FILE* pipe = popen(command.c_str(), "r");
    std::array<char, 4096> chunk{};
    while (size_t n = fread(chunk.data(), 1, chunk.size(), pipe)) text.append(chunk.data(), n);
    pclose(pipe);
    return text;
}

class GstreamerLaunch : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        dir_ = fs::temp_directory_path() / ("ruvovav_gst_launch_" + std::to_string(getpid()));
        fs::create_directories(dir_);
        // GStreamer scans plug-ins into a registry of our own, not the user's.
        setenv("GST_REGISTRY", (dir_ / "registry.bin").c_str(), 1);
        setenv("GST_PLUGIN_PATH", RUVOVAV_GSTREAMER_DIR, 1);
    }
    static void TearDownTestSuite() { fs::remove_all(dir_); }

    static std::string path(const std::string& name) { return (dir_ / name).string(); }

    static fs::path dir_;
};

fs::path GstreamerLaunch::dir_;

TEST_F(GstreamerLaunch, InspectDocumentsTheElement) {
    const std::string text = output("gst-inspect-1.0 ruvovav 2>&1");
    for (const char* expected : {"Filter/Effect/Video", "RGBA64_LE", "libgstruvovav.so", "profile",
                                 "frames", "track", "wavelet", "remove-y", "threshold-layer"}) {
        EXPECT_NE(text.find(expected), std::string::npos) << expected << " in:\n" << text;
    }
}

TEST_F(GstreamerLaunch, PngsInPngsOutAsTheToolMakesThem) {
    std::ofstream raw(path("in.rgba"), std::ios::binary);
    for (int i = 0; i < kFrames; ++i) {
        const std::vector<uint8_t> f = frei0r_test::clipFrame(i, 10.0);
        raw.write(reinterpret_cast<const char*>(f.data()), std::streamsize(f.size()));
    }
    raw.close();
    for (const char* folder : {"in", "tool", "element"}) fs::create_directories(path(folder));
    ASSERT_EQ(run("ffmpeg -v error -y -f rawvideo -s 160x96 -r 25 -pix_fmt rgba -i " +
                  path("in.rgba") + " -start_number 0 " + path("in/%04d.png")),
              0);
    const std::string tool = RUVOVAV_TOOL_PATH;
    ASSERT_EQ(run(tool + " analyze " + path("in/%04d.png") + " -y --frames 2 --profile-out " +
                  path("grain.json") + " > /dev/null"),
              0);
    ASSERT_EQ(run(tool + " denoise " + path("in/%04d.png") + " -o " + path("tool/%04d.png") +
                  " -y --profile-in " + path("grain.json") + " > /dev/null"),
              0);
    ASSERT_EQ(run("gst-launch-1.0 -q multifilesrc location=" + path("in/%04d.png") +
                  " caps=image/png,framerate=25/1 ! pngdec ! videoconvert ! ruvovav profile=" +
                  path("grain.json") +
                  " ! videoconvert ! pngenc ! multifilesink location=" + path("element/%04d.png")),
              0);
    // Decoded by GStreamer: the element's 8-bit PNGs and the tool's 16-bit ones, whose alpha
    // GStreamer 1.22's pngdec shifts by a pixel (colours are compared).
    const auto frames = [&](const std::string& folder, const std::string& format) {
        const std::string file = path(folder + ".raw");
        EXPECT_EQ(
            run("gst-launch-1.0 -q multifilesrc location=" + path(folder + "/%04d.png") +
                " caps=image/png,framerate=25/1 ! pngdec ! videoconvert ! video/x-raw,format=" +
                format + " ! filesink location=" + file),
            0);
        std::ifstream in(file, std::ios::binary);
        return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)), {});
    };
    const std::vector<uint8_t> element = frames("element", "RGBA");
    const std::vector<uint8_t> expected = frames("tool", "RGBA64_LE");
    ASSERT_EQ(element.size(), size_t(4) * 160 * 96 * kFrames) << "one frame out per frame in";
    ASSERT_EQ(expected.size(), 2 * element.size());
    double largest = 0;
    for (size_t i = 0; i < element.size(); ++i) {
        if (i % 4 == 3) continue;
        const double exact = (expected[2 * i] + 256.0 * expected[2 * i + 1]) / 257.0;
        largest = std::max(largest, std::abs(element[i] - exact));
    }
    EXPECT_LE(largest, 1.0) << "dithered against the tool's exact values: one step at most";
}

}  // namespace
