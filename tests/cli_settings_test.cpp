// The tool's option values, settings flags and profiles, and the outputs it refuses because
// they reach an input. Expected values are written by hand or come from the module's own
// parameter declarations, read through our host; overlaps are laid out on the real file
// system: the same name, another relative spelling, a symlink, a hard link, the same sequence
// pattern, and patterns whose files include an input frame.
#include <gtest/gtest.h>

#include <CLI/CLI.hpp>

#include <filesystem>
#include <fstream>
#include <tuple>

#include "cli/effect_settings.h"
#include "cli/output_safety.h"
#include "cli/profile.h"
#include "cli/value_parsers.h"
#include "host/host.h"
#include "media_files.h"
#include "module_fixture.h"

namespace {

namespace fs = std::filesystem;
using namespace ruvovav::cli;

TEST(ValueParsers, AcceptWellFormedValues) {
    const auto [x, y, width, height] = parseBox("--box", "10,-2,64,32");
    EXPECT_EQ(std::tuple(x, y, width, height), std::tuple(10, -2, 64, 32));
    const FrameRange open = parseRange("--range", "7:");
    EXPECT_EQ(open.first, 7);
    EXPECT_FALSE(open.last.has_value());
    const FrameRange closed = parseRange("--range", "0:12");
    EXPECT_EQ(*closed.last, 12);
    EXPECT_EQ(parseInteger("--frames", "-4"), -4);
    EXPECT_DOUBLE_EQ(parseNumber("--soft", "12.5"), 12.5);
    EXPECT_EQ(parseAssignment("--remove-layer", "3=40"),
              std::make_pair(std::string("3"), std::string("40")));
}

TEST(ValueParsers, RejectMalformedValuesWithOneLineNamingTheOption) {
    const std::vector<std::pair<std::string, std::function<void()>>> bad = {
        {"--box", [] { parseBox("--box", "1,2,oops"); }},
        {"--box", [] { parseBox("--box", "1,2,3,4,5"); }},
        {"--box", [] { parseBox("--box", "1,2,0,4"); }},
        {"--box", [] { parseBox("--box", "1, 2,3,4"); }},
        {"--box", [] { parseBox("--box", "1,2,99999999999,4"); }},
        {"--range", [] { parseRange("--range", "5:5"); }},
        {"--range", [] { parseRange("--range", ":5"); }},
        {"--range", [] { parseRange("--range", "-1:5"); }},
        {"--range", [] { parseRange("--range", "3"); }},
        {"--frames", [] { parseInteger("--frames", "3x"); }},
        {"--frames", [] { parseInteger("--frames", ""); }},
        {"--soft", [] { parseNumber("--soft", "nan"); }},
        {"--soft", [] { parseNumber("--soft", "1e999"); }},
        {"--remove-layer", [] { parseAssignment("--remove-layer", "=4"); }},
    };
    for (const auto& [option, parse] : bad) {
        try {
            parse();
            ADD_FAILURE() << "accepted a bad " << option;
        } catch (const UsageError& e) {
            const std::string message = e.what();
            EXPECT_EQ(message.rfind(option, 0), 0u) << message;
            EXPECT_EQ(message.find('\n'), std::string::npos) << message;
        }
    }
}

class DeclaredParameters : public ::testing::Test {
protected:
    void SetUp() override {
        host_ = std::make_unique<kestrel::Host>(testing_support::loadedModule());
        ASSERT_EQ(host_->createInstance(), 1);
        ASSERT_EQ(host_->declareParameters(), 1);
    }
    kestrel::ParameterStore& store() { return host_->parameters(); }
    std::vector<ParameterSetting> parseFlags(std::vector<std::string> args) {
        EffectSettings settings;
        CLI::App app;
        settings.addOptions(app);
        args.insert(args.begin(), "ruvovav");
        std::vector<const char*> argv;
        for (const std::string& a : args) argv.push_back(a.c_str());
        app.parse(int(argv.size()), argv.data());
        return settings.settings();
    }
    std::unique_ptr<kestrel::Host> host_;
};

// The flags promise the effect's own ranges and defaults: the module's declarations say
// what they are.
TEST_F(DeclaredParameters, FlagRangesAndDefaultsAreTheEffectsOwn) {
    const auto expectDeclared = [&](const std::string& id, const auto& flag) {
        const kestrel::ParameterDeclaration* d = store().find(id);
        ASSERT_NE(d, nullptr) << id;
        EXPECT_EQ(std::tuple(d->min, d->max, d->defaultValue.x),
                  std::tuple(flag.min, flag.max, flag.defaultValue))
            << id;
    };
    for (const NumberFlag& f : numberFlags()) expectDeclared(f.id, f);
    for (const LayerFlag& f : layerFlags()) {
        for (int layer = 0; layer < 10; ++layer)
            expectDeclared("Frequency:L" + std::to_string(layer) + f.suffix, f);
    }
    const kestrel::ParameterDeclaration* method = store().find("method");
    ASSERT_NE(method, nullptr);
    EXPECT_EQ(method->entries.size(), waveletNames().size());
}

TEST_F(DeclaredParameters, FlagsSetTheParametersTheyName) {
    applySettings(store(),
                  parseFlags({"--frames", "8", "--no-track", "--wavelet", "sym16", "--remove-y",
                              "55", "--threshold-layer", "2=150", "--threshold-layer", "9=0",
                              "--keep-edges", "1000", "--soft", "25"}));
    EXPECT_EQ(store().choiceValue("numberOfFrames", 0), 8);
    EXPECT_EQ(store().value("useOpticalFlowTracking", 0).x, 0);
    EXPECT_EQ(store().value("method", 0).x, 4);
    EXPECT_EQ(store().value("Channel:Y:NoiseRemoval", 0).x, 55);
    EXPECT_EQ(store().value("Frequency:L2:ThreasholdMult", 0).x, 150);
    EXPECT_EQ(store().value("Frequency:L9:ThreasholdMult", 0).x, 0);
    EXPECT_EQ(store().value("keepEdges", 0).x, 1000);
    EXPECT_EQ(store().value("softThresholding", 0).x, 25);
    EXPECT_EQ(store().value("Channel:U:NoiseRemoval", 0).x, 100) << "untouched keeps its default";
}

TEST_F(DeclaredParameters, OutOfRangeFlagsAreRefused) {
    for (const std::vector<std::string>& args :
         std::vector<std::vector<std::string>>{{"--frames", "3"},
                                               {"--wavelet", "db6"},
                                               {"--remove-y", "101"},
                                               {"--threshold-u", "-1"},
                                               {"--remove-layer", "10=50"},
                                               {"--keep-edges", "oops"}}) {
        EXPECT_THROW(parseFlags(args), UsageError) << args[0] << " " << args[1];
    }
}

// Saving and loading gives back every value; flags given after a profile override it.
TEST_F(DeclaredParameters, ProfilesRoundTripEveryValue) {
    store().set("yL3_ThresholdLH7", 0, {12.5, 0}, 0);
    store().set("analyzePoint1", 0, {-10, 20}, 0);
    store().set("imageAnalysed", 0, {1, 0}, 0);
    store().set("method", 0, {2, 0}, 0);
    store().set("Brightness:40:ThreasholdMult", 0, {230, 0}, 0);
    const auto profile = makeProfile(store(), {{"tool", "test"}});
    EXPECT_EQ(profile["tool"], "test");
    EXPECT_EQ(profile["parameters"]["yL3_ThresholdLH7"], 12.5);
    EXPECT_EQ(profile["parameters"]["imageAnalysed"], true);
    EXPECT_EQ(profile["parameters"]["method"], 2);
    EXPECT_FALSE(profile["parameters"].contains("analyzeButton")) << "buttons hold no value";

    const media_files::TempFolder folder;
    const auto path = folder / "profile.json";
    saveProfile(path, profile, false);
    EXPECT_THROW(saveProfile(path, profile, false), UsageError) << "exists without -y";

    kestrel::Host fresh(testing_support::loadedModule());
    ASSERT_EQ(fresh.createInstance(), 1);
    ASSERT_EQ(fresh.declareParameters(), 1);
    applySettings(fresh.parameters(), loadProfile(path, fresh.parameters()));
    for (const kestrel::ParameterDeclaration& d : store().declarations()) {
        EXPECT_EQ(fresh.parameters().value(d.id, 0), store().value(d.id, 0)) << d.id;
    }
}

TEST_F(DeclaredParameters, BrokenProfilesAreRefusedNamingTheProblem) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"{\"parameters\": {", "not valid JSON"},
        {"[1, 2]", "no \"parameters\""},
        {"{\"parameters\": {\"noSuchThing\": 1}}", "unknown parameter 'noSuchThing'"},
        {"{\"parameters\": {\"keepEdges\": 1001}}", "outside 0 to 1000"},
        {"{\"parameters\": {\"keepEdges\": \"high\"}}", "must be a number"},
        {"{\"parameters\": {\"numberOfFrames\": 4}}", "entry index"},
        {"{\"parameters\": {\"analyzePoint1\": [1]}}", "[x, y]"},
        {"{\"parameters\": {\"useOpticalFlowTracking\": 1}}", "true or false"},
        {"{\"parameters\": {\"analyzeButton\": 1}}", "no value"},
        // Found by the profile fuzzer: a huge choice index once reached an undefined
        // conversion, and a fraction was stored in an integer parameter.
        {"{\"parameters\": {\"method\": 1e300}}", "entry index"},
        {"{\"parameters\": {\"mipmapLevel\": 2.5}}", "whole number"},
    };
    for (const auto& [text, expected] : cases) {
        try {
            parseProfile(text, "p.json", store());
            ADD_FAILURE() << "accepted " << text;
        } catch (const UsageError& e) {
            EXPECT_NE(std::string(e.what()).find(expected), std::string::npos) << e.what();
            EXPECT_EQ(std::string(e.what()).rfind("profile 'p.json'", 0), 0u) << e.what();
        }
    }
}

class OutputSafety : public ::testing::Test {
protected:
    void SetUp() override {
        fs::create_directories(dir_ / "shots");
        for (const char* name : {"0001.png", "0002.png", "0003.png"})
            std::ofstream(dir_ / "shots" / name) << name;
        std::ofstream(dir_ / "clip.mkv") << "clip";
        // Relative spellings are resolved from the working folder, as the tool's are.
        previous_ = fs::current_path();
        fs::current_path(dir_);
    }
    void TearDown() override { fs::current_path(previous_); }
    // The refusal's text, or empty when the output is allowed.
    static std::string refusal(const std::string& input, const std::string& output) {
        try {
            refuseOverlap({input}, output, "the output");
        } catch (const UsageError& e) {
            return e.what();
        }
        return "";
    }

    media_files::TempFolder folder_;
    const fs::path dir_ = folder_.path();
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

}  // namespace
