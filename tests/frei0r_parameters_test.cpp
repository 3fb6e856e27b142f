// The frei0r parameters' values as the plug-in documents them, checked by hand.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "frei0r/frei0r_api.h"
#include "frei0r/frei0r_parameters.h"

namespace ruvovav::frei0r {
namespace {

// Hosts give doubles in 0 .. 1: the window is the nearest quarter (1, 2, 4 or 8 frames; 0
// keeps the profile's), tracking is on from a half, strength is twice the value up to 2.
TEST(Frei0rParameters, ValuesMapAsDocumented) {
    const std::pair<double, int> frames[] = {{0, 0},    {-1, 0},  {std::nan(""), 0},
                                             {0.01, 1}, {0.3, 1}, {0.4, 2},
                                             {0.75, 4}, {0.9, 8}, {5, 8}};
    for (const auto& [value, count] : frames) EXPECT_EQ(framesOf(value), count) << value;
    EXPECT_FALSE(trackingOf(0).has_value());
    EXPECT_EQ(trackingOf(0.49), false);
    EXPECT_EQ(trackingOf(0.5), true);
    const std::pair<double, double> strengths[] = {{0, 0}, {0.25, 0.5}, {1, 2.0}, {3, 2.0}};
    for (const auto& [value, strength] : strengths) EXPECT_EQ(strengthOf(value), strength) << value;
}

// Names and types are checked through the plug-in's entry points (frei0r_plugin_test).
TEST(Frei0rParameters, StartAsTheProfileSaysAndIgnoreNullAndUnknown) {
    Parameters p;
    const char* profile = "not this";
    p.get(kProfile, &profile);
    EXPECT_STREQ(profile, "");
    double value = -1;
    for (int i = kFrames; i < kParameterCount; ++i) {
        p.get(i, &value);
        EXPECT_EQ(value, 0.0);
    }
    const double one = 1;
    p.set(kParameterCount, &one);
    p.set(kFrames, nullptr);
    char* none = nullptr;
    p.set(kProfile, &none);
    EXPECT_EQ(p.settings(), editor::EditorSettings{});
    EXPECT_EQ(parameterInfo(-1), nullptr);
    EXPECT_EQ(parameterInfo(kParameterCount), nullptr);
}

TEST(Frei0rParameters, KeepACopyOfWhatTheHostPasses) {
    Parameters p;
    std::string path = "/tmp/grain.json";
    char* text = path.data();
    p.set(kProfile, &text);
    path[1] = 'X';  // the host's buffer changes after the call
    const double frames = 0.75, tracking = 0.25, strength = 1.0;
    p.set(kFrames, &frames);
    p.set(kTracking, &tracking);
    p.set(kStrength, &strength);
    const editor::EditorSettings s = p.settings();
    EXPECT_EQ(s.profile, "/tmp/grain.json");
    EXPECT_EQ(s.frames, 4);
    EXPECT_EQ(s.tracking, false);
    EXPECT_EQ(s.strength, 2.0);
    const char* back = nullptr;
    p.get(kProfile, &back);
    EXPECT_STREQ(back, "/tmp/grain.json");
    double value = 0;
    p.get(kTracking, &value);
    EXPECT_EQ(value, 0.25);
}

}  // namespace
}  // namespace ruvovav::frei0r
