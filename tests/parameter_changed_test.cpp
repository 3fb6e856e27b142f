// Messages 7, 13 and 14 through the loaded module on a real GL context; each must leave the
// host's GL state, images and books as it found them.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "host/host.h"
#include "module_fixture.h"
#include "tests/parameter_names.h"

namespace {

using kestrel::Host;
using kestrel::ParameterValue;
using test::markId;
using test::multiplierId;
using test::thresholdIdsOfLayer;

constexpr int32_t kParameterChanged = 7;
constexpr int32_t kBrightnessEditNoUndo = 13;
constexpr int32_t kBrightnessEdit = 14;
constexpr int32_t kPlainMode = 0;

std::string layerId(int layer, const char* control) {
    return "Frequency:L" + std::to_string(layer) + ":" + control;
}

// The controls that follow "imageAnalysed", and those that follow it only in a frequency view.
const std::vector<std::string> kAnalysedControls = [] {
    std::vector<std::string> ids = {"reAnalyzeButton",
                                    "AnalyzeBrightnessButton",
                                    "numberOfFrames",
                                    "keepEdges",
                                    "viewOption",
                                    "Channel:Y:ThreasholdMult",
                                    "Channel:U:ThreasholdMult",
                                    "Channel:V:ThreasholdMult",
                                    "Channel:Y:NoiseRemoval",
                                    "Channel:U:NoiseRemoval",
                                    "Channel:V:NoiseRemoval"};
    for (int percent = 0; percent <= 100; percent += 10) ids.push_back(multiplierId(percent));
    return ids;
}();
const std::vector<std::string> kViewOptions = {"mipmapLevel", "frequencyLabel",
                                               "frequencyContrast"};

// A flat grey frame, alpha 1, every colour channel spread uniformly by +-noise (fixed seed).
kestrel::Frame greyFrame(int size, float grey, float noise) {
    kestrel::Frame frame{size, size, {}};
    std::mt19937 generator(12345u);
    std::uniform_real_distribution<float> spread(-noise, noise);
    for (int p = 0; p < size * size; ++p) {
        for (int c = 0; c < 3; ++c) frame.rgba.push_back(grey + spread(generator));
        frame.rgba.push_back(1.0f);
    }
    return frame;
}

class ParameterChangedTest : public ::testing::Test {
protected:
    void SetUp() override { prepare(host); }

    static void prepare(Host& h) {
        ASSERT_EQ(h.createInstance(), 1);
        ASSERT_EQ(h.setUpGpu(), 1);
        ASSERT_EQ(h.declareParameters(), 1);
        expectHostClean(h);
    }
    static void expectHostClean(Host& h) {
        for (const std::string& line : h.gl()->lastStateDifferences()) ADD_FAILURE() << line;
        EXPECT_EQ(h.gl()->lentImages().outstanding(), 0);
        EXPECT_EQ(h.hostErrors(), 0);
    }
    void send(int32_t message, const std::string& id) { sendTo(host, message, id); }
    static void sendTo(Host& h, int32_t message, const std::string& id) {
        EXPECT_EQ(h.notify(message, id), 1) << message << " " << id;
        expectHostClean(h);
    }
    // A message that must not reach the host at all.
    void sendIgnored(int32_t message, const std::string& id) {
        const int before = host.hostCalls();
        send(message, id);
        EXPECT_EQ(host.hostCalls(), before) << message << " '" << id << "' acted";
    }

    kestrel::ParameterStore& store() { return host.parameters(); }
    double valueOf(const std::string& id) { return store().value(id, 0).x; }
    void setPlain(const std::string& id, double value) {
        store().set(id, 0, ParameterValue{value, 0.0}, kPlainMode);
    }
    bool enabled(const std::string& id) {
        const kestrel::ParameterDeclaration* d = store().find(id);
        EXPECT_NE(d, nullptr) << id;
        return d != nullptr && d->enabled;
    }
    std::wstring labelText(const std::string& id) { return store().find(id)->text; }
    // One threshold of each listed layer set to a non-zero percentage.
    void giveThresholds(const std::vector<int>& layers) {
        for (int layer : layers) setPlain(thresholdIdsOfLayer(layer)[40], 2.5);
    }
    // The eleven brightness bands' multipliers or marks, band 0 first.
    std::vector<double> bands(std::string (*id)(int)) {
        std::vector<double> values;
        for (int percent = 0; percent <= 100; percent += 10) values.push_back(valueOf(id(percent)));
        return values;
    }
    std::vector<double> multipliers() { return bands(multiplierId); }
    std::vector<double> marks() { return bands(markId); }
    // What a re-application after "imageAnalysed" leaves available.
    void expectAvailability(bool analysed, bool frequencyView, const std::vector<int>& layers,
                            const std::string& what) {
        EXPECT_EQ(enabled("analyzeButton"), !analysed) << what;
        for (const std::string& id : kAnalysedControls)
            EXPECT_EQ(enabled(id), analysed) << what << id;
        for (const std::string& id : kViewOptions) {
            EXPECT_EQ(enabled(id), analysed && frequencyView) << what << id;
        }
        for (int layer = 0; layer < 10; ++layer) {
            const bool has = std::find(layers.begin(), layers.end(), layer) != layers.end();
            EXPECT_EQ(enabled(layerId(layer, "ThreasholdMult")), analysed && has) << what << layer;
            EXPECT_EQ(enabled(layerId(layer, "NoiseRemoval")), analysed && has) << what << layer;
        }
    }
    // Every value and availability of the panel (at time 0), in panel order.
    static std::vector<ParameterValue> allValues(Host& h) {
        std::vector<ParameterValue> values;
        for (const auto& d : h.parameters().declarations()) {
            values.push_back(h.parameters().value(d.id, 0));
        }
        return values;
    }
    static std::vector<bool> allEnabled(Host& h) {
        std::vector<bool> flags;
        for (const auto& d : h.parameters().declarations()) flags.push_back(d.enabled);
        return flags;
    }

    Host host{testing_support::loadedModule(), kestrel::GlOptions{}};
};

// Views 2 to 4 are frequency views; only layers with a threshold get multipliers; a change
// of view then sets the view options by the new view alone, analysed or not.
TEST_F(ParameterChangedTest, ImageAnalysedAndTheViewSetTheAvailabilityOfEveryControl) {
    giveThresholds({0, 3, 9});
    for (bool analysed : {true, false}) {
        setPlain("imageAnalysed", analysed ? 1.0 : 0.0);
        for (int view : {0, 1, 2, 3, 4}) {
            const std::string what =
                "analysed " + std::to_string(analysed) + " view " + std::to_string(view) + ": ";
            setPlain("viewOption", view);
            send(kParameterChanged, "imageAnalysed");
            expectAvailability(analysed, view >= 2, {0, 3, 9}, what);
            std::vector<bool> expected = allEnabled(host);
            const int next = (view + 3) % 5;
            setPlain("viewOption", next);
            send(kParameterChanged, "viewOption");
            for (size_t i = 0; i < expected.size(); ++i) {
                const std::string& id = store().declarations()[i].id;
                if (std::count(kViewOptions.begin(), kViewOptions.end(), id))
                    expected[i] = next >= 2;
            }
            EXPECT_EQ(allEnabled(host), expected) << what << "then view " << next;
        }
    }
    EXPECT_EQ(store().undoDepth(), 0u) << "availability is not an undoable edit";
}

// The label shows 2^level pixels, the level read at the render time.
TEST_F(ParameterChangedTest, MipmapLevelWritesTheScaleIntoTheFrequencyLabel) {
    const std::pair<int, const wchar_t*> cases[] = {
        {0, L"1px"}, {10, L"1024px"}, {4, L"16px"}, {1, L"2px"}};
    for (const auto& [level, text] : cases) {
        setPlain("mipmapLevel", level);
        send(kParameterChanged, "mipmapLevel");
        EXPECT_EQ(labelText("frequencyLabel"), text) << level;
    }
    store().setKeyframe("mipmapLevel", 0, ParameterValue{2.0});
    store().setKeyframe("mipmapLevel", 20, ParameterValue{6.0});
    host.renderContext().time = 20;
    send(kParameterChanged, "mipmapLevel");
    EXPECT_EQ(labelText("frequencyLabel"), L"64px");
    EXPECT_EQ(store().undoDepth(), 0u);
}

// --- hand-edited brightness multipliers (messages 13 and 14) ---

class BrightnessEditTest : public ParameterChangedTest {
protected:
    // Anchors at 0 (40%) and 100 (20%); band 30 edited by hand to 160%.
    void arrangeEditOfBandThirty() {
        const double percents[11] = {40, 100, 100, 160, 100, 100, 100, 100, 100, 100, 20};
        for (int band = 0; band <= 10; ++band) setPlain(multiplierId(band * 10), percents[band]);
        setPlain(markId(0), 1.0);
        setPlain(markId(30), 0.0);
        setPlain(markId(100), 1.0);
    }
};

// Band 30 lies on 40 -> 160 (steps of 40) and 160 -> 20 (of -20); 14 is one undo step.
TEST_F(BrightnessEditTest, MessagesThirteenAndFourteenInterpolateAroundTheEditedBand) {
    const double expected[11] = {40, 80, 120, 160, 140, 120, 100, 80, 60, 40, 20};
    for (int32_t message : {kBrightnessEditNoUndo, kBrightnessEdit}) {
        arrangeEditOfBandThirty();
        const std::vector<double> multipliersBefore = multipliers();
        send(message, "Brightness:30:ThreasholdMult");
        for (int band = 0; band <= 10; ++band) {
            EXPECT_NEAR(multipliers()[size_t(band)], expected[band], 1e-4) << band * 10;
        }
        EXPECT_EQ(marks(), (std::vector<double>{1, 0, 0, 1, 0, 0, 0, 0, 0, 0, 1}));
        if (message == kBrightnessEditNoUndo) {
            EXPECT_TRUE(store().undoGroupLog().empty());
            EXPECT_EQ(store().undoDepth(), 0u);
            continue;
        }
        ASSERT_EQ(store().undoGroupLog().size(), 1u);
        EXPECT_EQ(store().undoGroupLog()[0].name, "Threshold Brightness");
        EXPECT_EQ(store().openUndoGroups(), 0);
        ASSERT_EQ(store().undoDepth(), 1u);
        ASSERT_TRUE(store().undo());
        EXPECT_EQ(multipliers(), multipliersBefore);
        EXPECT_EQ(marks(), (std::vector<double>{1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1}));
    }
}

// Identifiers a message does not handle, near misses included, and no arguments: no action.
TEST_F(BrightnessEditTest, OtherIdentifiersTouchNothing) {
    arrangeEditOfBandThirty();
    giveThresholds({0});
    setPlain("imageAnalysed", 1.0);
    const std::vector<double> multipliersBefore = multipliers();
    for (int32_t message : {kParameterChanged, kBrightnessEditNoUndo, kBrightnessEdit}) {
        for (const char* id :
             {"keepEdges", "Brightness:30:ModifiedByUser", "ImageAnalysed", "viewoption",
              "mipmapLevel ", "analyzebutton", "Channel:Y:ThreasholdMult", "yL0_ThresholdHH1",
              "brightness:30:ThreasholdMult", "Brightness:30:ThreasholdMultiplier",
              "xBrightness:30:ThreasholdMult", "Brightness::ThreasholdMult",
              "Brightness:3a:ThreasholdMult", "Brightness:30:ThresholdMult", ""}) {
            sendIgnored(message, id);
        }
        const int before = host.hostCalls();
        EXPECT_EQ(host.notify(message), 1);
        EXPECT_EQ(host.hostCalls(), before);
    }
    sendIgnored(kParameterChanged, "Brightness:30:ThreasholdMult");
    EXPECT_EQ(multipliers(), multipliersBefore);
    EXPECT_TRUE(store().undoGroupLog().empty());
}

// 55 is no declared band: the edit lands on band 50. Leading zeros are digits like any
// other: 0030 is band 30. Digits beyond 32 bits fail the message without a write.
TEST_F(BrightnessEditTest, TheBandIsReadFromTheDigits) {
    send(kBrightnessEdit, "Brightness:55:ThreasholdMult");
    EXPECT_EQ(marks(), (std::vector<double>{0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0}));
    send(kBrightnessEditNoUndo, "Brightness:0030:ThreasholdMult");
    EXPECT_EQ(marks(), (std::vector<double>{0, 0, 0, 1, 0, 1, 0, 0, 0, 0, 0}));

    const int before = host.hostCalls();
    EXPECT_EQ(host.notify(kBrightnessEdit, "Brightness:99999999999:ThreasholdMult"), 5);
    EXPECT_EQ(host.hostCalls(), before);
    EXPECT_EQ(store().openUndoGroups(), 0);
    expectHostClean(host);
}

// --- the analysis buttons ---

class AnalysisButtonTest : public ParameterChangedTest {
protected:
    static constexpr int kSize = 128;

    // The whole frame is one flat area, so any box inside it sees the same noise. The box
    // corners are pixels from the frame's centre: a 120-pixel square in the middle.
    static void useFrame(Host& h, const kestrel::Frame& frame) {
        h.gl()->setClip({frame});
        h.parameters().set("analyzePoint1", 0, ParameterValue{-60.0, 60.0}, kPlainMode);
        h.parameters().set("analyzePoint2", 0, ParameterValue{60.0, -60.0}, kPlainMode);
    }
    std::vector<int> layersWithThresholds() {
        std::vector<int> layers;
        for (int layer = 0; layer < 10; ++layer) {
            for (const std::string& id : thresholdIdsOfLayer(layer)) {
                if (valueOf(id) != 0.0) {
                    layers.push_back(layer);
                    break;
                }
            }
        }
        return layers;
    }
};

TEST_F(AnalysisButtonTest, AnalyzeWritesThresholdsAsOneUndoStepAndReappliesAvailability) {
    useFrame(host, greyFrame(kSize, 0.47f, 0.05f));
    setPlain("viewOption", 1);                 // the analysis-box view gives way to the result
    setPlain(thresholdIdsOfLayer(8)[5], 3.0);  // a layer the 120-pixel box cannot reach
    send(kParameterChanged, "analyzeButton");

    EXPECT_EQ(valueOf("imageAnalysed"), 1.0);
    EXPECT_EQ(valueOf("viewOption"), 0.0);
    EXPECT_EQ(valueOf(thresholdIdsOfLayer(8)[5]), 0.0);
    const std::vector<int> layers = layersWithThresholds();
    ASSERT_FALSE(layers.empty());
    EXPECT_EQ(layers[0], 0) << "the finest layer of a noisy frame certainly holds noise";
    expectAvailability(true, false, layers, "analysed: ");
    ASSERT_EQ(store().undoDepth(), 1u);
    ASSERT_FALSE(store().undoGroupLog().empty());
    EXPECT_EQ(store().undoGroupLog()[0].name, "Ruvovav Analysis");

    // The editor's undo takes everything back and reports "imageAnalysed" among the rest.
    ASSERT_TRUE(host.undoAndNotify());
    expectHostClean(host);
    EXPECT_EQ(valueOf("imageAnalysed"), 0.0);
    EXPECT_EQ(valueOf("viewOption"), 1.0);
    EXPECT_EQ(layersWithThresholds(), std::vector<int>{8});
    EXPECT_EQ(marks(), std::vector<double>(11, 0.0));
    expectAvailability(false, false, {8}, "undone: ");
}

TEST_F(AnalysisButtonTest, BrightnessWithoutCurrentThresholdsWritesZeroToTheBand) {
    // Mean Y 0.47: 0.47 * 10 + 0.5 = 5.2, so band 50.
    useFrame(host, greyFrame(kSize, 0.47f, 0.0f));
    setPlain("viewOption", 1);  // the analysis-box view gives way to the result
    const std::vector<bool> availability = allEnabled(host);
    send(kParameterChanged, "AnalyzeBrightnessButton");
    EXPECT_EQ(allEnabled(host), availability);

    // The only anchor is band 50 at 0%, so every band is re-interpolated to 0%.
    EXPECT_EQ(marks(), (std::vector<double>{0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0}));
    EXPECT_EQ(multipliers(), std::vector<double>(11, 0.0));
    EXPECT_EQ(valueOf("viewOption"), 0.0);
    EXPECT_EQ(valueOf("imageAnalysed"), 0.0);  // the brightness analysis leaves it alone

    // One outer group with the interpolation's own group inside, undone as one step.
    ASSERT_EQ(store().undoGroupLog().size(), 2u);
    EXPECT_EQ(store().undoGroupLog()[1].depth, 1);
    ASSERT_EQ(store().undoDepth(), 1u);
    ASSERT_TRUE(store().undo());
    EXPECT_EQ(multipliers(), std::vector<double>(11, 100.0));
    EXPECT_EQ(valueOf("viewOption"), 1.0);
}

// "reAnalyzeButton" behaves exactly like "analyzeButton".
TEST_F(AnalysisButtonTest, BrightnessMultiplierIsTheRatioOfFoundToCurrentThresholds) {
    const kestrel::Frame frame = greyFrame(kSize, 0.47f, 0.05f);
    Host other(testing_support::loadedModule(), kestrel::GlOptions{});
    prepare(other);
    useFrame(host, frame);
    useFrame(other, frame);
    sendTo(host, kParameterChanged, "reAnalyzeButton");
    sendTo(other, kParameterChanged, "analyzeButton");
    ASSERT_EQ(valueOf("imageAnalysed"), 1.0);
    EXPECT_EQ(allValues(other), allValues(host));
    EXPECT_EQ(allEnabled(other), allEnabled(host));
    EXPECT_EQ(store().undoDepth(), 1u);

    // The same frame again: found equals current, so the ratio is 1 (100%).
    send(kParameterChanged, "AnalyzeBrightnessButton");
    EXPECT_NEAR(valueOf(multiplierId(50)), 100.0, 0.01);
    EXPECT_EQ(valueOf(markId(50)), 1.0);

    // With every current threshold doubled the found ones are half of them: 50%.
    for (int layer = 0; layer < 10; ++layer) {
        for (const std::string& id : thresholdIdsOfLayer(layer)) setPlain(id, 2.0 * valueOf(id));
    }
    send(kParameterChanged, "AnalyzeBrightnessButton");
    for (double value : multipliers()) EXPECT_NEAR(value, 50.0, 0.01);
}

}  // namespace
