// Messages 7, 13 and 14 through the loaded module on a host with a real GL context:
// availability, the frequency label, the analysis buttons and hand-edited multipliers.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "host/host.h"
#include "module_fixture.h"

namespace {

using kestrel::Host;
using kestrel::ParameterValue;

constexpr int32_t kParameterChanged = 7;
constexpr int32_t kBrightnessEditNoUndo = 13;
constexpr int32_t kBrightnessEdit = 14;
constexpr int32_t kPlainMode = 0;
constexpr int32_t kUndoableMode = 2;

// --- identifiers, spelt out here rather than taken from the module's helpers ---

std::string joined(const char* head, const std::string& middle, const char* tail) {
    std::string id = head;
    id += middle;
    id += tail;
    return id;
}
std::string multiplierId(int percent) {
    return joined("Brightness:", std::to_string(percent), ":ThreasholdMult");
}
std::string markId(int percent) {
    return joined("Brightness:", std::to_string(percent), ":ModifiedByUser");
}
std::string layerMultiplierId(int layer) {
    return joined("Frequency:L", std::to_string(layer), ":ThreasholdMult");
}
std::string layerRemovalId(int layer) {
    return joined("Frequency:L", std::to_string(layer), ":NoiseRemoval");
}
std::string thresholdId(const char* channel, int layer, const char* band, int level) {
    std::string id = channel;
    id += "L";
    id += std::to_string(layer);
    id += "_Threshold";
    id += band;
    id += std::to_string(level);
    return id;
}
std::vector<std::string> thresholdIdsOfLayer(int layer) {
    std::vector<std::string> ids;
    for (int level = 1; level <= 10; ++level) {
        for (const char* channel : {"y", "u", "v"}) {
            for (const char* band : {"HH", "LH", "HL"}) {
                ids.push_back(thresholdId(channel, layer, band, level));
            }
        }
    }
    return ids;
}

// --- what the module asked of the table, recorded by wrappers around the host's entries ---

using EnableCall = std::pair<std::string, bool>;

struct LabelCall {
    std::string id;
    int32_t time = -1;
    std::wstring text;
    int32_t mode = -1;
};

struct TableLog {
    static inline SetParameterEnabledFn forwardEnabled = nullptr;
    static inline SetLabelTextFn forwardLabel = nullptr;
    static inline std::vector<EnableCall> enabled;
    static inline std::vector<LabelCall> labels;

    static void setEnabled(HostHandle h, const char* id, const bool* on) {
        enabled.emplace_back(id, *on);
        forwardEnabled(h, id, on);
    }
    static void setLabel(HostHandle h, const char* id, int32_t time, const wchar_t* text,
                         int32_t mode) {
        labels.push_back(LabelCall{id, time, text, mode});
        forwardLabel(h, id, time, text, mode);
    }
    static void install(Host& host) {
        forwardEnabled = host.api().SetParameterEnabled;
        forwardLabel = host.api().SetLabelText;
        host.api().SetParameterEnabled = &setEnabled;
        host.api().SetLabelText = &setLabel;
        clear();
    }
    static void clear() {
        enabled.clear();
        labels.clear();
    }
};

// The availability writes of a full re-application after "imageAnalysed" changed, in
// order, for a given analysed state, view and set of layers that hold thresholds.
std::vector<EnableCall> analysedAvailability(bool analysed, bool frequencyView,
                                             const std::vector<bool>& layerHas) {
    std::vector<EnableCall> calls = {{"analyzeButton", !analysed},
                                     {"reAnalyzeButton", analysed},
                                     {"AnalyzeBrightnessButton", analysed},
                                     {"numberOfFrames", analysed},
                                     {"keepEdges", analysed},
                                     {"Channel:Y:ThreasholdMult", analysed},
                                     {"Channel:U:ThreasholdMult", analysed},
                                     {"Channel:V:ThreasholdMult", analysed}};
    for (int percent = 0; percent <= 100; percent += 10) {
        calls.emplace_back(multiplierId(percent), analysed);
    }
    for (const char* id : {"Channel:Y:NoiseRemoval", "Channel:U:NoiseRemoval",
                           "Channel:V:NoiseRemoval", "viewOption"}) {
        calls.emplace_back(id, analysed);
    }
    for (const char* id : {"mipmapLevel", "frequencyLabel", "frequencyContrast"}) {
        calls.emplace_back(id, analysed && frequencyView);
    }
    for (int layer = 0; layer < 10; ++layer) {
        calls.emplace_back(layerMultiplierId(layer), analysed && layerHas[size_t(layer)]);
        calls.emplace_back(layerRemovalId(layer), analysed && layerHas[size_t(layer)]);
    }
    return calls;
}

std::vector<EnableCall> layerAvailability(const std::vector<bool>& layerHas) {
    std::vector<EnableCall> calls;
    for (int layer = 0; layer < 10; ++layer) {
        calls.emplace_back(layerMultiplierId(layer), layerHas[size_t(layer)]);
        calls.emplace_back(layerRemovalId(layer), layerHas[size_t(layer)]);
    }
    return calls;
}

std::vector<EnableCall> viewOptionsAvailability(bool available) {
    return {{"mipmapLevel", available},
            {"frequencyLabel", available},
            {"frequencyContrast", available}};
}

// A flat grey frame, premultiplied with alpha 1; `noise` adds a fixed pseudo-random
// spread of +-noise to every colour channel (a small LCG, so every run sees the same frame).
kestrel::Frame greyFrame(int width, int height, float grey, float noise) {
    kestrel::Frame frame{width, height, std::vector<float>(size_t(4) * width * height)};
    uint32_t state = 12345u;
    auto next = [&] {
        state = state * 1664525u + 1013904223u;
        return float(state >> 8) / float(1u << 24) * 2.0f - 1.0f;  // -1 .. 1
    };
    for (size_t p = 0; p < size_t(width) * height; ++p) {
        for (size_t c = 0; c < 3; ++c) frame.rgba[4 * p + c] = grey + noise * next();
        frame.rgba[4 * p + 3] = 1.0f;
    }
    return frame;
}

class ParameterChangedTest : public ::testing::Test {
protected:
    void SetUp() override { prepare(host); }
    void TearDown() override { TableLog::clear(); }

    static void prepare(Host& h) {
        ASSERT_EQ(h.createInstance(), 1);
        ASSERT_EQ(h.setUpGpu(), 1);
        ASSERT_EQ(h.declareParameters(), 1);
        expectHostClean(h);
        TableLog::install(h);
    }
    static void expectHostClean(Host& h) {
        for (const std::string& line : h.gl()->lastStateDifferences()) ADD_FAILURE() << line;
        EXPECT_EQ(h.gl()->lentImages().outstanding(), 0);
        EXPECT_EQ(h.hostErrors(), 0);
    }
    // Every message is handled and leaves the host as it found it.
    void send(int32_t message, const std::string& id) { sendTo(host, message, id); }
    static void sendTo(Host& h, int32_t message, const std::string& id) {
        EXPECT_EQ(h.notify(message, id), 1) << message << " " << id;
        expectHostClean(h);
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
    std::wstring labelText(const std::string& id) {
        const kestrel::ParameterDeclaration* d = store().find(id);
        EXPECT_NE(d, nullptr) << id;
        return d != nullptr ? d->text : std::wstring();
    }
    // One threshold of each listed layer set to a non-zero percentage.
    void giveThresholds(const std::vector<int>& layers) {
        for (int layer : layers) setPlain(thresholdId("v", layer, "LH", 3), 2.5);
    }
    std::vector<double> multipliers() {
        std::vector<double> values;
        for (int percent = 0; percent <= 100; percent += 10) {
            values.push_back(valueOf(multiplierId(percent)));
        }
        return values;
    }
    std::vector<double> marks() {
        std::vector<double> values;
        for (int percent = 0; percent <= 100; percent += 10)
            values.push_back(valueOf(markId(percent)));
        return values;
    }
    // Every value of the panel (at time 0), in panel order.
    std::vector<ParameterValue> allValues(Host& h) {
        std::vector<ParameterValue> values;
        for (const auto& d : h.parameters().declarations()) {
            values.push_back(h.parameters().value(d.id, 0));
        }
        return values;
    }
    std::vector<bool> allEnabled(Host& h) {
        std::vector<bool> flags;
        for (const auto& d : h.parameters().declarations()) flags.push_back(d.enabled);
        return flags;
    }

    Host host{testing_support::loadedModule(), kestrel::GlOptions{}};
};

// --- "imageAnalysed" and the availability it governs ---

TEST_F(ParameterChangedTest, ImageAnalysedReappliesTheWholeAvailabilityInOrder) {
    giveThresholds({0, 3, 9});
    setPlain("viewOption", 3);  // "Frequency U": entry 3 carries value 3
    setPlain("imageAnalysed", 1.0);
    send(kParameterChanged, "imageAnalysed");
    std::vector<bool> has(10, false);
    has[0] = has[3] = has[9] = true;
    EXPECT_EQ(TableLog::enabled, analysedAvailability(true, true, has));
    EXPECT_FALSE(enabled("analyzeButton"));
    EXPECT_TRUE(enabled("reAnalyzeButton"));
    EXPECT_TRUE(enabled("frequencyContrast"));
    EXPECT_TRUE(enabled(layerRemovalId(9)));
    EXPECT_FALSE(enabled(layerRemovalId(8)));

    // Back to not analysed: only "analyzeButton" stays available, the thresholds
    // notwithstanding.
    TableLog::clear();
    setPlain("imageAnalysed", 0.0);
    send(kParameterChanged, "imageAnalysed");
    EXPECT_EQ(TableLog::enabled, analysedAvailability(false, true, has));
    EXPECT_TRUE(enabled("analyzeButton"));
    for (const auto& [id, on] : TableLog::enabled) {
        if (id != "analyzeButton") {
            EXPECT_FALSE(enabled(id)) << id;
        }
    }
    EXPECT_TRUE(TableLog::labels.empty());
    EXPECT_EQ(store().undoDepth(), 0u);  // availability is not an undoable edit
}

TEST_F(ParameterChangedTest, OutsideTheFrequencyViewsTheViewOptionsStayUnavailable) {
    giveThresholds({1});
    setPlain("imageAnalysed", 1.0);
    for (int view : {0, 1, 2, 3, 4}) {
        TableLog::clear();
        setPlain("viewOption", view);
        send(kParameterChanged, "imageAnalysed");
        const bool frequencyView = view >= 2;
        std::vector<bool> has(10, false);
        has[1] = true;
        EXPECT_EQ(TableLog::enabled, analysedAvailability(true, frequencyView, has)) << view;
        EXPECT_EQ(enabled("mipmapLevel"), frequencyView) << view;
    }
}

TEST_F(ParameterChangedTest, LayerWithoutThresholdsLosesItsMultipliersOnly) {
    // Every layer but 7 holds a threshold somewhere; layer 7 is all zero.
    for (int layer = 0; layer < 10; ++layer) {
        if (layer != 7) {
            setPlain(thresholdId("y", layer, "HH", 1 + layer % 10), 0.125);
        }
    }
    setPlain("imageAnalysed", 1.0);
    send(kParameterChanged, "imageAnalysed");
    for (int layer = 0; layer < 10; ++layer) {
        EXPECT_EQ(enabled(layerMultiplierId(layer)), layer != 7) << layer;
        EXPECT_EQ(enabled(layerRemovalId(layer)), layer != 7) << layer;
    }
}

TEST_F(ParameterChangedTest, UndoOfImageAnalysedFlipsTheButtons) {
    giveThresholds({2});
    // The user ticks "imageAnalysed" as one undoable edit, and the editor reports it.
    store().set("imageAnalysed", 0, ParameterValue{1.0}, kUndoableMode);
    send(kParameterChanged, "imageAnalysed");
    EXPECT_FALSE(enabled("analyzeButton"));
    EXPECT_TRUE(enabled(layerMultiplierId(2)));

    TableLog::clear();
    ASSERT_TRUE(host.undoAndNotify());
    expectHostClean(host);
    EXPECT_EQ(valueOf("imageAnalysed"), 0.0);
    std::vector<bool> has(10, false);
    has[2] = true;
    EXPECT_EQ(TableLog::enabled, analysedAvailability(false, false, has));
    EXPECT_TRUE(enabled("analyzeButton"));
    EXPECT_FALSE(enabled("reAnalyzeButton"));
    EXPECT_FALSE(enabled(layerMultiplierId(2)));
    EXPECT_FALSE(host.undoAndNotify());  // nothing left to undo, nothing sent
}

// --- "viewOption" and "mipmapLevel" ---

TEST_F(ParameterChangedTest, FrequencyViewsMakeTheViewOptionsAvailableEvenUnanalysed) {
    ASSERT_EQ(valueOf("imageAnalysed"), 0.0);
    setPlain("viewOption", 3);
    send(kParameterChanged, "viewOption");
    EXPECT_EQ(TableLog::enabled, viewOptionsAvailability(true));
    EXPECT_TRUE(enabled("mipmapLevel"));
    EXPECT_TRUE(enabled("frequencyLabel"));
    EXPECT_TRUE(enabled("frequencyContrast"));

    // They stay so until the next re-application after "imageAnalysed".
    TableLog::clear();
    send(kParameterChanged, "imageAnalysed");
    EXPECT_FALSE(enabled("mipmapLevel"));
    EXPECT_FALSE(enabled("frequencyContrast"));

    for (int view : {0, 1, 2, 3, 4}) {
        TableLog::clear();
        setPlain("viewOption", view);
        send(kParameterChanged, "viewOption");
        EXPECT_EQ(TableLog::enabled, viewOptionsAvailability(view >= 2)) << view;
    }
}

TEST_F(ParameterChangedTest, MipmapLevelWritesTheScaleIntoTheFrequencyLabel) {
    const std::pair<int, const wchar_t*> cases[] = {
        {0, L"1px"}, {10, L"1024px"}, {4, L"16px"}, {1, L"2px"}};
    for (const auto& [level, text] : cases) {
        TableLog::clear();
        setPlain("mipmapLevel", level);
        send(kParameterChanged, "mipmapLevel");
        EXPECT_EQ(labelText("frequencyLabel"), text) << level;
        ASSERT_EQ(TableLog::labels.size(), 1u) << level;
        EXPECT_EQ(TableLog::labels[0].id, "frequencyLabel");
        EXPECT_EQ(TableLog::labels[0].time, 0);
        EXPECT_EQ(TableLog::labels[0].mode, 0);
        EXPECT_TRUE(TableLog::enabled.empty());
    }
    EXPECT_EQ(store().undoDepth(), 0u);
}

TEST_F(ParameterChangedTest, MipmapLevelIsReadAtTheRenderTime) {
    store().setKeyframe("mipmapLevel", 0, ParameterValue{2.0});
    store().setKeyframe("mipmapLevel", 20, ParameterValue{6.0});
    host.renderContext().time = 20;
    send(kParameterChanged, "mipmapLevel");
    EXPECT_EQ(labelText("frequencyLabel"), L"64px");
    ASSERT_EQ(TableLog::labels.size(), 1u);
    EXPECT_EQ(TableLog::labels[0].time, 0);  // the label itself is not animated
}

TEST_F(ParameterChangedTest, OtherIdentifiersTouchNothing) {
    giveThresholds({0});
    setPlain("imageAnalysed", 1.0);
    for (const char* id :
         {"keepEdges", "Brightness:30:ModifiedByUser", "Brightness:30:ThreasholdMult",
          "ImageAnalysed", "viewoption", "mipmapLevel ", "analyzebutton",
          "Channel:Y:ThreasholdMult", "yL0_ThresholdHH1", ""}) {
        const int before = host.hostCalls();
        send(kParameterChanged, id);
        EXPECT_EQ(host.hostCalls(), before) << id;
    }
    // A message 7 without call arguments is harmless too.
    const int before = host.hostCalls();
    EXPECT_EQ(host.notify(kParameterChanged), 1);
    EXPECT_EQ(host.hostCalls(), before);
    expectHostClean(host);
}

// --- hand-edited brightness multipliers (messages 13 and 14) ---

class BrightnessEditTest : public ParameterChangedTest {
protected:
    // Anchors at 0 (40%) and 100 (20%); band 30 edited by hand to 160%.
    void arrangeEditOfBandThirty() {
        const double percents[11] = {40, 100, 100, 160, 100, 100, 100, 100, 100, 100, 20};
        for (int band = 0; band <= 10; ++band) setPlain(multiplierId(band * 10), percents[band]);
        setPlain(markId(0), 1.0);
        setPlain(markId(100), 1.0);
    }
    // Band 30 lies on the lines 40 -> 160 (three steps of 40) and 160 -> 20 (seven of -20).
    void expectBandThirtyInterpolated() {
        const double expected[11] = {40, 80, 120, 160, 140, 120, 100, 80, 60, 40, 20};
        const std::vector<double> got = multipliers();
        for (int band = 0; band <= 10; ++band) {
            EXPECT_NEAR(got[size_t(band)], expected[band], 1e-4) << band * 10;
        }
        const std::vector<double> expectedMarks = {1, 0, 0, 1, 0, 0, 0, 0, 0, 0, 1};
        EXPECT_EQ(marks(), expectedMarks);
    }
};

TEST_F(BrightnessEditTest, MessageFourteenInterpolatesInOneUndoGroup) {
    arrangeEditOfBandThirty();
    const std::vector<double> multipliersBefore = multipliers();
    const std::vector<double> marksBefore = marks();
    send(kBrightnessEdit, "Brightness:30:ThreasholdMult");
    expectBandThirtyInterpolated();

    ASSERT_EQ(store().undoGroupLog().size(), 1u);
    EXPECT_EQ(store().undoGroupLog()[0].name, "Threshold Brightness");
    EXPECT_EQ(store().undoGroupLog()[0].depth, 0);
    EXPECT_EQ(store().openUndoGroups(), 0);
    ASSERT_EQ(store().undoDepth(), 1u);
    ASSERT_TRUE(store().undo());
    EXPECT_EQ(multipliers(), multipliersBefore);
    EXPECT_EQ(marks(), marksBefore);
}

TEST_F(BrightnessEditTest, MessageThirteenMakesTheSameWritesOutsideUndo) {
    arrangeEditOfBandThirty();
    send(kBrightnessEditNoUndo, "Brightness:30:ThreasholdMult");
    expectBandThirtyInterpolated();
    EXPECT_TRUE(store().undoGroupLog().empty());
    EXPECT_EQ(store().undoDepth(), 0u);
}

TEST_F(BrightnessEditTest, OnlyAWholeMultiplierIdentifierActs) {
    arrangeEditOfBandThirty();
    const std::vector<double> multipliersBefore = multipliers();
    const std::vector<double> marksBefore = marks();
    for (int32_t message : {kBrightnessEditNoUndo, kBrightnessEdit}) {
        for (const char* id : {"Brightness:30:ModifiedByUser", "Channel:Y:ThreasholdMult",
                               "brightness:30:ThreasholdMult", "Brightness:30:ThreasholdMultiplier",
                               "xBrightness:30:ThreasholdMult", "Brightness::ThreasholdMult",
                               "Brightness:3a:ThreasholdMult", "Brightness:30:ThresholdMult", ""}) {
            const int before = host.hostCalls();
            send(message, id);
            EXPECT_EQ(host.hostCalls(), before) << message << " " << id;
        }
        const int before = host.hostCalls();
        EXPECT_EQ(host.notify(message), 1);  // no call arguments at all
        EXPECT_EQ(host.hostCalls(), before);
    }
    EXPECT_EQ(multipliers(), multipliersBefore);
    EXPECT_EQ(marks(), marksBefore);
    EXPECT_TRUE(store().undoGroupLog().empty());
}

TEST_F(BrightnessEditTest, UndeclaredBandActsOnTheBandBelow) {
    // 55 is no declared band: the edit lands on band 50, the only anchor.
    for (int band = 0; band <= 10; ++band) setPlain(multiplierId(band * 10), band == 5 ? 60 : 100);
    send(kBrightnessEdit, "Brightness:55:ThreasholdMult");
    EXPECT_EQ(marks(), (std::vector<double>{0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0}));
    for (double value : multipliers()) EXPECT_NEAR(value, 60.0, 1e-4);

    // Leading zeros are digits like any other: 0030 is band 30.
    send(kBrightnessEditNoUndo, "Brightness:0030:ThreasholdMult");
    EXPECT_EQ(marks(), (std::vector<double>{0, 0, 0, 1, 0, 1, 0, 0, 0, 0, 0}));
}

TEST_F(BrightnessEditTest, DigitsBeyondThirtyTwoBitsFailTheMessageWithoutWrites) {
    const int before = host.hostCalls();
    EXPECT_EQ(host.notify(kBrightnessEdit, "Brightness:99999999999:ThreasholdMult"), 5);
    EXPECT_EQ(host.hostCalls(), before);
    EXPECT_EQ(store().openUndoGroups(), 0);
    expectHostClean(host);
}

// --- the analysis buttons ---

class AnalysisButtonTest : public ParameterChangedTest {
protected:
    static constexpr int kSize = 256;

    // The whole frame is one flat area, so any box inside it sees the same noise. The box
    // corners are pixels from the frame's centre: a 120-pixel square in the middle.
    static void useFrame(Host& h, const kestrel::Frame& frame) {
        h.gl()->setClip({frame});
        h.parameters().set("analyzePoint1", 0, ParameterValue{-60.0, 60.0}, kPlainMode);
        h.parameters().set("analyzePoint2", 0, ParameterValue{60.0, -60.0}, kPlainMode);
    }
    bool anyThreshold(Host& h, int layer) {
        for (const std::string& id : thresholdIdsOfLayer(layer)) {
            if (h.parameters().value(id, 0).x != 0.0) return true;
        }
        return false;
    }
    std::vector<bool> layersWithThresholds(Host& h) {
        std::vector<bool> has;
        for (int layer = 0; layer < 10; ++layer) has.push_back(anyThreshold(h, layer));
        return has;
    }
};

TEST_F(AnalysisButtonTest, AnalyzeWritesThresholdsAsOneUndoStepAndReappliesAvailability) {
    useFrame(host, greyFrame(kSize, kSize, 0.47f, 0.05f));
    send(kParameterChanged, "analyzeButton");

    EXPECT_EQ(valueOf("imageAnalysed"), 1.0);
    const std::vector<bool> has = layersWithThresholds(host);
    EXPECT_TRUE(has[0]);  // the finest layer of a noisy frame certainly holds noise
    // The layers first, then the whole re-application with "imageAnalysed" now true.
    std::vector<EnableCall> expected = layerAvailability(has);
    for (const EnableCall& call : analysedAvailability(true, false, has)) expected.push_back(call);
    EXPECT_EQ(TableLog::enabled, expected);

    ASSERT_EQ(store().undoDepth(), 1u);
    ASSERT_FALSE(store().undoGroupLog().empty());
    EXPECT_EQ(store().undoGroupLog()[0].name, "Ruvovav Analysis");

    // The editor's undo takes everything back and reports "imageAnalysed" among the rest.
    TableLog::clear();
    ASSERT_TRUE(host.undoAndNotify());
    expectHostClean(host);
    EXPECT_EQ(valueOf("imageAnalysed"), 0.0);
    for (int layer = 0; layer < 10; ++layer) EXPECT_FALSE(anyThreshold(host, layer)) << layer;
    EXPECT_EQ(marks(), std::vector<double>(11, 0.0));
    EXPECT_EQ(TableLog::enabled, analysedAvailability(false, false, has));
    EXPECT_TRUE(enabled("analyzeButton"));
    for (int layer = 0; layer < 10; ++layer) EXPECT_FALSE(enabled(layerMultiplierId(layer)));
}

TEST_F(AnalysisButtonTest, ReAnalyzeBehavesExactlyLikeAnalyze) {
    const kestrel::Frame frame = greyFrame(kSize, kSize, 0.3f, 0.04f);
    Host other(testing_support::loadedModule(), kestrel::GlOptions{});
    prepare(other);
    useFrame(host, frame);
    useFrame(other, frame);

    sendTo(host, kParameterChanged, "analyzeButton");
    const std::vector<EnableCall> analyzeCalls = TableLog::enabled;
    TableLog::clear();
    sendTo(other, kParameterChanged, "reAnalyzeButton");

    EXPECT_EQ(TableLog::enabled, analyzeCalls);
    EXPECT_EQ(allValues(other), allValues(host));
    EXPECT_EQ(allEnabled(other), allEnabled(host));
    EXPECT_EQ(other.parameters().undoDepth(), 1u);
    EXPECT_EQ(other.parameters().value("imageAnalysed", 0).x, 1.0);
}

TEST_F(AnalysisButtonTest, BrightnessWithoutCurrentThresholdsWritesZeroToTheBand) {
    // Mean Y 0.47: 0.47 * 10 + 0.5 = 5.2, so band 50.
    useFrame(host, greyFrame(kSize, kSize, 0.47f, 0.0f));
    setPlain("viewOption", 1);  // the analysis-box view gives way to the result
    send(kParameterChanged, "AnalyzeBrightnessButton");

    // The only anchor is band 50 at 0%, so every band is re-interpolated to 0%.
    EXPECT_EQ(marks(), (std::vector<double>{0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0}));
    for (double value : multipliers()) EXPECT_EQ(value, 0.0);
    EXPECT_EQ(valueOf("viewOption"), 0.0);
    EXPECT_EQ(valueOf("imageAnalysed"), 0.0);  // the brightness analysis leaves it alone
    EXPECT_TRUE(TableLog::enabled.empty());

    // One outer group with the interpolation's own group inside, undone as one step.
    ASSERT_EQ(store().undoGroupLog().size(), 2u);
    EXPECT_EQ(store().undoGroupLog()[0].name, "Threshold Brightness");
    EXPECT_EQ(store().undoGroupLog()[0].depth, 0);
    EXPECT_EQ(store().undoGroupLog()[1].name, "Threshold Brightness");
    EXPECT_EQ(store().undoGroupLog()[1].depth, 1);
    ASSERT_EQ(store().undoDepth(), 1u);
    ASSERT_TRUE(store().undo());
    EXPECT_EQ(multipliers(), std::vector<double>(11, 100.0));
    EXPECT_EQ(valueOf("viewOption"), 1.0);
}

TEST_F(AnalysisButtonTest, BrightnessMultiplierIsTheRatioOfFoundToCurrentThresholds) {
    useFrame(host, greyFrame(kSize, kSize, 0.47f, 0.05f));
    send(kParameterChanged, "analyzeButton");
    ASSERT_EQ(valueOf("imageAnalysed"), 1.0);

    // The same frame again: found equals current, so the ratio is 1 (100%).
    send(kParameterChanged, "AnalyzeBrightnessButton");
    EXPECT_NEAR(valueOf(multiplierId(50)), 100.0, 0.01);
    EXPECT_EQ(valueOf(markId(50)), 1.0);

    // With every current threshold doubled the found ones are half of them: 50%.
    for (int layer = 0; layer < 10; ++layer) {
        for (const std::string& id : thresholdIdsOfLayer(layer)) setPlain(id, 2.0 * valueOf(id));
    }
    send(kParameterChanged, "AnalyzeBrightnessButton");
    EXPECT_NEAR(valueOf(multiplierId(50)), 50.0, 0.01);
    for (double value : multipliers()) EXPECT_NEAR(value, 50.0, 0.01);
}

}  // namespace
