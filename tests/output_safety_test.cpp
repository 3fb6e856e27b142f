// The input is never written to: outputs are compared with the inputs by the file system's
// identity. Every case is laid out on the real file system: the same name, another relative
// spelling, a symlink, a hard link, the same sequence pattern, and patterns whose files
// include an input frame; and the outputs that must stay allowed.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <random>

#include "cli/output_safety.h"
#include "cli/value_parsers.h"

namespace {

namespace fs = std::filesystem;
using ruvovav::cli::refuseOverlap;
using ruvovav::cli::UsageError;

class OutputSafety : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("ruvovav_safety_" + std::to_string(getpid()) + "_" +
                                            std::to_string(std::random_device{}()));
        fs::create_directories(dir_ / "shots");
        for (const char* name : {"0001.png", "0002.png", "0003.png"})
            std::ofstream(dir_ / "shots" / name) << name;
        std::ofstream(dir_ / "clip.mkv") << "clip";
        // Relative spellings are resolved from the working folder, as the tool's are.
        previous_ = fs::current_path();
        fs::current_path(dir_);
    }
    void TearDown() override {
        fs::current_path(previous_);
        fs::remove_all(dir_);
    }
    // The refusal's text, or empty when the output is allowed.
    static std::string refusal(const std::string& input, const std::string& output) {
        try {
            refuseOverlap({input}, output, "the output");
        } catch (const UsageError& e) {
            return e.what();
        }
        return "";
    }

    fs::path dir_;
    fs::path previous_;
};

TEST_F(OutputSafety, TheSameFileUnderAnyNameIsRefused) {
    fs::create_symlink(dir_ / "clip.mkv", "link.mkv");
    fs::create_hard_link("clip.mkv", "hard.mkv");
    const std::vector<std::string> outputs = {"clip.mkv",          "./clip.mkv",
                                              "shots/../clip.mkv", (dir_ / "clip.mkv").string(),
                                              "link.mkv",          "hard.mkv"};
    for (const std::string& output : outputs) {
        const std::string text = refusal("clip.mkv", output);
        EXPECT_NE(text.find("the input is never written to"), std::string::npos) << output;
        EXPECT_NE(text.find(output), std::string::npos) << text;
    }
    EXPECT_NE(refusal("hard.mkv", "clip.mkv"), "") << "either link may be the one read";
}

TEST_F(OutputSafety, APatternThatReachesAnInputFrameIsRefused) {
    fs::create_directory_symlink(dir_ / "shots", "alias");
    fs::create_hard_link("shots/0002.png", "frame.png");
    const std::pair<std::string, std::string> cases[] = {
        {"shots/%04d.png", "shots/%04d.png"},    // the same pattern
        {"shots/%04d.png", "./shots/%04d.png"},  // spelt otherwise
        {"shots/%04d.png", "alias/%04d.png"},    // through a linked folder
        {"shots/%04d.png", "shots/00%02d.png"},  // another pattern naming the same files
        {"shots/%04d.png", "shots/0003.png"},    // one frame as a single image
        {"shots/%04d.png", "frame.png"},         // a hard link to a frame
        {"shots/0002.png", "shots/%04d.png"},    // a single image among the pattern's files
    };
    for (const auto& [input, output] : cases) {
        const std::string text = refusal(input, output);
        EXPECT_NE(text.find("the input is never written to"), std::string::npos)
            << input << " -> " << output;
    }
}

TEST_F(OutputSafety, OutputsBesideTheInputStayAllowed) {
    const std::pair<std::string, std::string> cases[] = {
        {"shots/%04d.png", "shots/%d.png"},  // unpadded numbers name other files
        {"shots/%04d.png", "shots/clean_%04d.png"},
        {"shots/%04d.png", "clean/%04d.png"},  // a folder that does not exist yet
        {"shots/%04d.png", "shots/0004.png"},  // past the last frame
        {"clip.mkv", "clean.mkv"},
        {"clip.mkv", "shots/%04d.mkv"},
    };
    for (const auto& [input, output] : cases)
        EXPECT_EQ(refusal(input, output), "") << input << " -> " << output;
}

// A second file read by the job (a clean reference, a profile) is as safe as the input.
TEST_F(OutputSafety, EveryFileReadIsProtected) {
    std::ofstream("clean.mkv") << "reference";
    EXPECT_THROW(refuseOverlap({"clip.mkv", "clean.mkv"}, "./clean.mkv", "the output"), UsageError);
    EXPECT_NO_THROW(refuseOverlap({"clip.mkv", "clean.mkv"}, "new.mkv", "the output"));
}

}  // namespace
