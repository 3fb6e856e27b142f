// The panel the module declares on message 2, against an independent description; and what
// our host's parameter store refuses, how it keys and how it undoes.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "host/host.h"
#include "host/parameter_store.h"
#include "module_fixture.h"
#include "tests/parameter_names.h"

namespace {

using kestrel::Host;
using kestrel::ParameterDeclaration;
using kestrel::ParameterKind;

struct Panel {
    Host host{testing_support::loadedModule()};
    Panel() {
        EXPECT_EQ(host.createInstance(), 1);
        EXPECT_EQ(host.declareParameters(), 1);
    }
    const ParameterDeclaration& at(const std::string& id) const {
        const ParameterDeclaration* d = host.parameters().find(id);
        if (d == nullptr) throw std::runtime_error("not declared: " + id);
        return *d;
    }
    std::vector<std::string> ids() const {
        std::vector<std::string> out;
        for (const auto& d : host.parameters().declarations()) out.push_back(d.id);
        return out;
    }
};

// The whole identifier list, independent of the module.
std::vector<std::string> expectedIds() {
    std::vector<std::string> ids = {"numberOfFrames",
                                    "useOpticalFlowTracking",
                                    "viewOption",
                                    "frequencyLabel",
                                    "mipmapLevel",
                                    "frequencyContrast",
                                    "analyzeButton",
                                    "imageAnalysed",
                                    "analyzePoint1",
                                    "analyzePoint2",
                                    "AnalyzeBrightnessButton",
                                    "reAnalyzeButton"};
    for (int n = 0; n <= 9; ++n) {
        const std::vector<std::string> layer = test::thresholdIdsOfLayer(n);
        ids.insert(ids.end(), layer.begin(), layer.end());
    }
    for (int b = 0; b <= 100; b += 10)
        ids.insert(ids.end(), {test::multiplierId(b), test::markId(b)});
    for (const char* c : {"Y", "U", "V"})
        ids.push_back(std::string("Channel:") + c + ":ThreasholdMult");
    for (int e = 0; e <= 9; ++e)
        ids.push_back("Frequency:L" + std::to_string(e) + ":ThreasholdMult");
    ids.insert(ids.end(), {"keepEdges", "softThresholding"});
    for (const char* c : {"Y", "U", "V"})
        ids.push_back(std::string("Channel:") + c + ":NoiseRemoval");
    for (int e = 0; e <= 9; ++e) ids.push_back("Frequency:L" + std::to_string(e) + ":NoiseRemoval");
    ids.push_back("method");
    return ids;
}

using Words = std::vector<std::wstring>;

// Checks fields of one declaration against values written out by hand, naming it on failure.
class Declared {
public:
    Declared(const Panel& p, const std::string& id) : d_(p.at(id)) {}
    Declared& kind(ParameterKind k) { return check(d_.kind, k); }
    Declared& label(const std::wstring& l) { return check(d_.label, l); }
    Declared& flags(int32_t f) { return check(d_.flags, f); }
    Declared& min(double m) { return check(d_.min, m); }
    Declared& max(double m) { return check(d_.max, m); }
    Declared& value(double x) { return check(d_.defaultValue.x, x); }
    Declared& group(const Words& g) { return check(d_.groupPath, g); }
    Declared& entries(const Words& e) { return check(d_.entries, e); }
    Declared& values(const std::vector<int32_t>& v) { return check(d_.entryValues, v); }
    Declared& text(const std::wstring& t) { return check(d_.text, t); }
    Declared& unit(const std::wstring& u) { return check(d_.unit, u); }

private:
    template <typename T>
    Declared& check(const T& got, const T& want) {
        EXPECT_EQ(got, want) << d_.id;
        return *this;
    }
    const ParameterDeclaration& d_;
};

TEST(ParameterPanel, ControlsOutsideTheThresholdTable) {
    Panel p;
    const Words views = {L"Frequency View Options"};
    Declared(p, "numberOfFrames").kind(ParameterKind::Choice).label(L"Frames").flags(3);
    Declared(p, "numberOfFrames").entries({L"1", L"2", L"4", L"8"}).values({1, 2, 4, 8});
    Declared(p, "useOpticalFlowTracking").label(L"Track Movement").value(1);
    Declared(p, "viewOption").flags(2).values({0, 1, 2, 3, 4});
    Declared(p, "viewOption")
        .entries({L"Result", L"Analysis Box", L"Frequency Y", L"Frequency U", L"Frequency V"});
    Declared(p, "frequencyLabel").kind(ParameterKind::Label).text(L"1px").group(views);
    Declared(p, "mipmapLevel").kind(ParameterKind::Int).min(0).max(10);
    Declared(p, "frequencyContrast").min(1).max(100).value(1).group(views);
    Declared(p, "analyzeButton").kind(ParameterKind::Button).flags(0).group({});
    Declared(p, "imageAnalysed").group({L"Analyze"}).value(0);
    Declared(p, "analyzePoint2").label(L"Analysis Box");
    Declared(p, "AnalyzeBrightnessButton").label(L"Analyze Brightness");
    Declared(p, "reAnalyzeButton").label(L"Re-Analyze").flags(2);
    Declared(p, "Channel:Y:NoiseRemoval").value(80).group({L"Removal Amount"});
    Declared(p, "Channel:U:NoiseRemoval").value(100);
    Declared(p, "Channel:V:NoiseRemoval").value(100);
    Declared(p, "Channel:V:ThreasholdMult").label(L"V");
    Declared(p, "Channel:U:ThreasholdMult").group({L"Threshold", L"Channel"});
    Declared(p, "keepEdges").label(L"Keep Edges").unit(L"").max(1000).value(100);
    Declared(p, "keepEdges").group({L"Threshold"});
    Declared(p, "softThresholding").value(0).max(100);
    Declared(p, "method").label(L"Wavelet type").group({}).value(1).values({0, 1, 2, 3, 4});
    Declared(p, "method")
        .entries({L"Haar", L"Daubechies 4", L"Daubechies 8", L"Daubechies 16", L"Symlets 16"});
    for (int b = 0; b <= 100; b += 10) {
        const std::wstring label = std::to_wstring(b);
        Declared(p, test::multiplierId(b)).label(label).unit(L"%").flags(3).max(500).value(100);
        Declared(p, test::multiplierId(b)).group({L"Threshold", L"Brightness"});
        Declared(p, test::markId(b)).label(label).flags(2).value(0).kind(ParameterKind::Bool);
    }
    for (int e = 0; e <= 9; ++e) {
        const std::string layer = "Frequency:L" + std::to_string(e);
        const std::wstring scale = std::to_wstring(1 << e) + L"px";
        Declared(p, layer + ":ThreasholdMult").label(scale).max(500);
        Declared(p, layer + ":ThreasholdMult").group({L"Threshold", L"Frequency"});
        Declared(p, layer + ":NoiseRemoval").label(scale).max(100).value(100);
        Declared(p, layer + ":NoiseRemoval").group({L"Removal Amount", L"Frequency"});
    }
    EXPECT_EQ(p.host.parameters().choiceValue("numberOfFrames", 0), 1);
    EXPECT_EQ(p.host.parameters().choiceValue("method", 0), 1);
    EXPECT_EQ(p.at("analyzePoint1").defaultValue, (kestrel::ParameterValue{-64.0, 64.0}));
    EXPECT_EQ(p.at("analyzePoint2").defaultValue, (kestrel::ParameterValue{64.0, -64.0}));
    // Only the contrast slider shows two decimals.
    for (const auto& d : p.host.parameters().declarations()) {
        if (d.kind == ParameterKind::Float) {
            EXPECT_EQ(d.precision, d.id == "frequencyContrast" ? 2 : 1) << d.id;
        }
    }
}

TEST(ParameterPanel, DeclaresAll963InOrderWithBalancedGroupsAndTheThresholdTable) {
    Panel p;
    EXPECT_EQ(p.host.parameters().size(), 963u);
    EXPECT_EQ(p.ids(), expectedIds());
    EXPECT_TRUE(p.host.parameters().openGroups().empty());
    EXPECT_EQ(p.host.hostErrors(), 0);
    const wchar_t* labels[9] = {L"Y HH", L"Y LH", L"Y HL", L"U HH", L"U LH",
                                L"U HL", L"V HH", L"V LH", L"V HL"};
    const auto& all = p.host.parameters().declarations();
    size_t index = 12;  // the table follows the twelve top controls
    for (int n = 0; n <= 9; ++n) {
        for (int k = 1; k <= 10; ++k) {
            const std::vector<std::wstring> path = {L"Analyze", L"Ruvovav Data",
                                                    L"Level " + std::to_wstring(n),
                                                    L"Wavelet Iteration " + std::to_wstring(k)};
            for (const wchar_t* label : labels) {
                const ParameterDeclaration& d = all.at(index++);
                ASSERT_EQ(d.groupPath, path) << d.id;
                ASSERT_EQ(d.label, label) << d.id;
                ASSERT_TRUE(d.kind == ParameterKind::Float && d.flags == 2 && d.unit.empty() &&
                            d.min == 0.0 && d.max == 100.0 && d.defaultValue.x == 0.0)
                    << d.id;
            }
        }
    }
}

TEST(ParameterPanel, RefusedDeclarationStopsAtOnce) {
    for (int refuseAt : {1, 2, 13, 500, 963}) {
        Host host(testing_support::loadedModule());
        ASSERT_EQ(host.createInstance(), 1);
        host.refuseDeclarationAt(refuseAt);
        EXPECT_EQ(host.declareParameters(), 5) << refuseAt;
        // Everything before the refusal stays declared; nothing is called afterwards.
        EXPECT_EQ(host.parameters().size(), size_t(refuseAt - 1));
        EXPECT_EQ(host.hostCalls(), host.hostCallsAtRefusal()) << refuseAt;
        if (refuseAt == 1) {
            EXPECT_EQ(host.hostCalls(), 1) << "the refused declaration was the only call";
        } else {
            EXPECT_EQ(host.parameters().declarations().back().id,
                      expectedIds().at(size_t(refuseAt - 2)));
        }
        // The instance survives a failed declaration and is destroyed normally.
        EXPECT_EQ(host.destroyInstance(), 1);
    }
}

}  // namespace

namespace kestrel {
namespace {

constexpr int32_t kUndoable = 2;

ParameterDeclaration parameter(const std::string& id, ParameterKind kind = ParameterKind::Float,
                               double defaultValue = 0.0) {
    ParameterDeclaration declaration;
    declaration.id = id;
    declaration.kind = kind;
    declaration.min = -1000.0;
    declaration.max = 1000.0;
    declaration.defaultValue = {defaultValue, 0.0};
    return declaration;
}

// What a declaration holds is checked on the module's own panel (parameter_panel_test);
// here, what the store refuses.
TEST(ParameterStoreTest, DuplicatesAndGroupsThatAreNotOpenAreRefused) {
    ParameterStore store;
    EXPECT_FALSE(store.endGroup());
    EXPECT_FALSE(store.endUndoGroup());
    store.beginGroup(L"Noise");
    EXPECT_TRUE(store.declare(parameter("strength", ParameterKind::Float, 0.25)));
    EXPECT_TRUE(store.endGroup());
    EXPECT_FALSE(store.endGroup());
    EXPECT_EQ(store.hostErrors(), 3);

    ParameterDeclaration duplicate = parameter("strength", ParameterKind::Float, 0.9);
    duplicate.label = L"Other";
    EXPECT_FALSE(store.declare(duplicate));
    EXPECT_EQ(store.size(), 1u);
    EXPECT_EQ(store.find("strength")->groupPath, (std::vector<std::wstring>{L"Noise"}));
    EXPECT_TRUE(store.find("strength")->label.empty());
    EXPECT_EQ(store.value("strength", 0).x, 0.25);
}

// Floats interpolate between keys, other kinds hold the last one; a write to an animated
// parameter sets a key, and the static value is back once the keys are cleared.
TEST(ParameterStoreTest, KeyframesInterpolateFloatsAndHoldOtherKinds) {
    ParameterStore store;
    ASSERT_TRUE(store.declare(parameter("gain", ParameterKind::Float, 99.0)));
    ASSERT_TRUE(store.declare(parameter("count", ParameterKind::Int)));
    ASSERT_TRUE(store.declare(parameter("centre", ParameterKind::Point)));
    for (const auto& [time, value] : {std::pair{0, 10.0}, {10, 20.0}, {20, 0.0}}) {
        store.setKeyframe("gain", time, {value, 0.0});
        store.setKeyframe("count", time, {value, 0.0});
        store.setKeyframe("centre", time, {value, -value});
    }
    const std::pair<int32_t, double> gain[] = {{-7, 10}, {2, 12}, {10, 20}, {19, 2}, {1000, 0}};
    for (const auto& [time, expected] : gain)
        EXPECT_DOUBLE_EQ(store.value("gain", time).x, expected);
    EXPECT_EQ(store.value("count", -3).x, 10.0);
    EXPECT_EQ(store.value("count", 19).x, 20.0);
    EXPECT_EQ(store.value("centre", 15), (ParameterValue{20.0, -20.0}));

    store.set("gain", 5, {100.0, 0.0}, 0);
    EXPECT_EQ(store.keyframes("gain").size(), 4u);
    EXPECT_DOUBLE_EQ(store.value("gain", 3).x, 64.0);  // 10 + 90 * 3/5
    store.set("gain", 7, {1.0, 0.0}, kUndoable);
    EXPECT_TRUE(store.undo());
    EXPECT_EQ(store.keyframes("gain").size(), 4u) << "undo takes back the key a write made";
    store.clearKeyframes("gain");
    EXPECT_DOUBLE_EQ(store.value("gain", 5).x, 99.0);
    EXPECT_EQ(store.hostErrors(), 0);
}

// A group (nested ones included) is one step; an empty one is logged but leaves no step and
// keeps the redo history. Outside groups each undoable write is a step and clears redo;
// other modes are never recorded.
TEST(ParameterStoreTest, UndoStepsAreGroupsOrSingleUndoableWrites) {
    ParameterStore store;
    ASSERT_TRUE(store.declare(parameter("a", ParameterKind::Float, 1.0)));
    ASSERT_TRUE(store.declare(parameter("b", ParameterKind::Float, 2.0)));
    EXPECT_FALSE(store.undo());
    EXPECT_FALSE(store.redo());

    store.beginUndoGroup("outer");
    store.set("a", 0, {10.0, 0.0}, kUndoable);
    store.beginUndoGroup("inner");
    store.set("b", 0, {20.0, 0.0}, kUndoable);
    EXPECT_TRUE(store.endUndoGroup());
    EXPECT_EQ(store.undoDepth(), 0u) << "closing the inner group makes no step of its own";
    store.set("a", 0, {30.0, 0.0}, kUndoable);  // a second write to the same parameter
    EXPECT_TRUE(store.endUndoGroup());
    EXPECT_EQ(store.undoDepth(), 1u);

    EXPECT_TRUE(store.undo());
    EXPECT_EQ(store.value("a", 0).x, 1.0);
    EXPECT_EQ(store.value("b", 0).x, 2.0);
    store.beginUndoGroup("empty");
    store.set("a", 0, {5.0, 0.0}, 0);
    EXPECT_TRUE(store.endUndoGroup());
    EXPECT_EQ(store.redoDepth(), 1u);
    EXPECT_TRUE(store.redo());
    EXPECT_EQ(store.value("a", 0).x, 30.0);
    EXPECT_EQ(store.value("b", 0).x, 20.0);
    EXPECT_FALSE(store.redo());
    const std::vector<UndoGroupRecord>& log = store.undoGroupLog();
    ASSERT_EQ(log.size(), 3u);
    EXPECT_EQ(log[1].name, "inner");
    EXPECT_EQ(log[1].depth, 1);
    EXPECT_EQ(log[2].depth, 0);

    store.set("b", 0, {3.0, 0.0}, kUndoable);
    store.set("b", 0, {4.0, 0.0}, kUndoable);
    EXPECT_EQ(store.undoDepth(), 3u);
    EXPECT_TRUE(store.undo());
    EXPECT_TRUE(store.undo());
    EXPECT_EQ(store.value("b", 0).x, 20.0);
    store.set("b", 0, {9.0, 0.0}, kUndoable);
    EXPECT_EQ(store.redoDepth(), 0u);
}

TEST(ParameterStoreTest, ChoiceStoresTheEntryIndexAndReportsTheDeclaredValue) {
    ParameterStore store;
    ParameterDeclaration quality = parameter("quality", ParameterKind::Choice, 1.0);
    quality.entries = {L"Low", L"Medium", L"High"};
    quality.entryValues = {10, 20, 40};
    ASSERT_TRUE(store.declare(quality));
    EXPECT_EQ(store.choiceValue("quality", 0), 20);
    store.setChoiceByValue("quality", 0, 40, kUndoable);
    EXPECT_EQ(store.value("quality", 0).x, 2.0);
    EXPECT_EQ(store.choiceValue("quality", 0), 40);
    store.setChoiceByValue("quality", 0, 30, kUndoable);  // not a declared value
    EXPECT_EQ(store.hostErrors(), 1);
    EXPECT_EQ(store.value("quality", 0).x, 2.0);
    EXPECT_EQ(store.undoDepth(), 1u);
    store.setKeyframe("quality", 0, {0.0, 0.0});
    store.setKeyframe("quality", 10, {2.0, 0.0});
    EXPECT_EQ(store.choiceValue("quality", 5), 10);
}

TEST(ParameterStoreTest, UnknownIdsAreRefusedOnWriteAndReadAsZero) {
    ParameterStore store;
    ASSERT_TRUE(store.declare(parameter("a", ParameterKind::Float, 3.0)));
    ASSERT_TRUE(store.declare(parameter("note", ParameterKind::Label)));
    EXPECT_EQ(store.value("nope", 0), (ParameterValue{}));
    EXPECT_EQ(store.choiceValue("nope", 0), 0);
    EXPECT_TRUE(store.keyframes("nope").empty());
    EXPECT_EQ(store.find("nope"), nullptr);
    EXPECT_THROW(store.set("nope", 0, {1.0, 1.0}, kUndoable), UnknownParameter);
    EXPECT_THROW(store.setEnabled("nope", false), UnknownParameter);
    EXPECT_THROW(store.setLabelText("nope", L"text"), UnknownParameter);
    EXPECT_THROW(store.setChoiceByValue("nope", 0, 1, 0), UnknownParameter);
    EXPECT_THROW(store.setKeyframe("nope", 0, {1.0, 0.0}), UnknownParameter);
    EXPECT_EQ(store.hostErrors(), 8);
    EXPECT_EQ(store.size(), 2u);
    EXPECT_EQ(store.value("a", 0).x, 3.0);
    EXPECT_EQ(store.undoDepth(), 0u);

    // The same calls on known ids work and count nothing.
    store.setEnabled("a", false);
    store.setLabelText("note", L"Ready");
    EXPECT_FALSE(store.find("a")->enabled);
    EXPECT_EQ(store.find("note")->text, L"Ready");
    EXPECT_EQ(store.hostErrors(), 8);
}

}  // namespace
}  // namespace kestrel
