// The parameter panel the module declares on message 2, checked against an independent
// description of it written out here.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "host/host.h"
#include "module_fixture.h"

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

// The whole identifier list, built with plain string arithmetic independent of the module.
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
    for (int n = 0; n <= 9; ++n)
        for (int k = 1; k <= 10; ++k)
            for (const char* c : {"y", "u", "v"})
                for (const char* b : {"HH", "LH", "HL"})
                    ids.push_back(std::string(c) + "L" + std::to_string(n) + "_Threshold" + b +
                                  std::to_string(k));
    for (int b = 0; b <= 100; b += 10) {
        ids.push_back("Brightness:" + std::to_string(b) + ":ThreasholdMult");
        ids.push_back("Brightness:" + std::to_string(b) + ":ModifiedByUser");
    }
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

TEST(ParameterPanel, DeclaresAll963InOrderWithBalancedGroups) {
    Panel p;
    EXPECT_EQ(p.host.parameters().size(), 963u);
    EXPECT_EQ(p.ids(), expectedIds());
    EXPECT_TRUE(p.host.parameters().openGroups().empty());
    EXPECT_EQ(p.host.hostErrors(), 0);
}

TEST(ParameterPanel, TopControls) {
    Panel p;
    const auto& frames = p.at("numberOfFrames");
    EXPECT_EQ(frames.kind, ParameterKind::Choice);
    EXPECT_EQ(frames.label, L"Frames");
    EXPECT_EQ(frames.flags, 3);
    EXPECT_EQ(frames.entries, (std::vector<std::wstring>{L"1", L"2", L"4", L"8"}));
    EXPECT_EQ(frames.entryValues, (std::vector<int32_t>{1, 2, 4, 8}));
    EXPECT_EQ(p.host.parameters().choiceValue("numberOfFrames", 0), 1);

    EXPECT_EQ(p.at("useOpticalFlowTracking").defaultValue.x, 1.0);
    EXPECT_EQ(p.at("useOpticalFlowTracking").label, L"Track Movement");
    const auto& view = p.at("viewOption");
    EXPECT_EQ(view.flags, 2);
    EXPECT_EQ(view.entries, (std::vector<std::wstring>{L"Result", L"Analysis Box", L"Frequency Y",
                                                       L"Frequency U", L"Frequency V"}));
    EXPECT_EQ(view.entryValues, (std::vector<int32_t>{0, 1, 2, 3, 4}));

    const std::vector<std::wstring> viewGroup = {L"Frequency View Options"};
    EXPECT_EQ(p.at("frequencyLabel").kind, ParameterKind::Label);
    EXPECT_EQ(p.at("frequencyLabel").text, L"1px");
    EXPECT_EQ(p.at("frequencyLabel").groupPath, viewGroup);
    const auto& level = p.at("mipmapLevel");
    EXPECT_EQ(level.kind, ParameterKind::Int);
    EXPECT_EQ(level.min, 0.0);
    EXPECT_EQ(level.max, 10.0);
    const auto& contrast = p.at("frequencyContrast");
    EXPECT_EQ(contrast.precision, 2);
    EXPECT_EQ(contrast.min, 1.0);
    EXPECT_EQ(contrast.max, 100.0);
    EXPECT_EQ(contrast.defaultValue.x, 1.0);
    EXPECT_EQ(contrast.groupPath, viewGroup);
}

TEST(ParameterPanel, AnalysisControls) {
    Panel p;
    EXPECT_EQ(p.at("analyzeButton").kind, ParameterKind::Button);
    EXPECT_EQ(p.at("analyzeButton").flags, 0);
    EXPECT_TRUE(p.at("analyzeButton").groupPath.empty());
    const std::vector<std::wstring> analyze = {L"Analyze"};
    EXPECT_EQ(p.at("imageAnalysed").groupPath, analyze);
    EXPECT_EQ(p.at("imageAnalysed").defaultValue.x, 0.0);
    EXPECT_EQ(p.at("analyzePoint1").defaultValue, (kestrel::ParameterValue{-64.0, 64.0}));
    EXPECT_EQ(p.at("analyzePoint2").defaultValue, (kestrel::ParameterValue{64.0, -64.0}));
    EXPECT_EQ(p.at("analyzePoint2").label, L"Analysis Box");
    EXPECT_EQ(p.at("AnalyzeBrightnessButton").label, L"Analyze Brightness");
    EXPECT_EQ(p.at("reAnalyzeButton").label, L"Re-Analyze");
    EXPECT_EQ(p.at("reAnalyzeButton").flags, 2);
}

TEST(ParameterPanel, ThresholdTableGroupsLabelsAndRanges) {
    Panel p;
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

TEST(ParameterPanel, MultiplierFamilies) {
    Panel p;
    const std::vector<std::wstring> brightness = {L"Threshold", L"Brightness"};
    for (int b = 0; b <= 100; b += 10) {
        const auto& mult = p.at("Brightness:" + std::to_string(b) + ":ThreasholdMult");
        const auto& edited = p.at("Brightness:" + std::to_string(b) + ":ModifiedByUser");
        EXPECT_EQ(mult.label, std::to_wstring(b));
        EXPECT_EQ(edited.label, std::to_wstring(b));
        EXPECT_EQ(mult.unit, L"%");
        EXPECT_EQ(mult.max, 500.0);
        EXPECT_EQ(mult.defaultValue.x, 100.0);
        EXPECT_EQ(mult.flags, 3);
        EXPECT_EQ(edited.kind, ParameterKind::Bool);
        EXPECT_EQ(edited.flags, 2);
        EXPECT_EQ(edited.defaultValue.x, 0.0);
        EXPECT_EQ(mult.groupPath, brightness);
    }
    const wchar_t* scales[10] = {L"1px",  L"2px",  L"4px",   L"8px",   L"16px",
                                 L"32px", L"64px", L"128px", L"256px", L"512px"};
    for (int e = 0; e <= 9; ++e) {
        const auto& mult = p.at("Frequency:L" + std::to_string(e) + ":ThreasholdMult");
        const auto& removal = p.at("Frequency:L" + std::to_string(e) + ":NoiseRemoval");
        EXPECT_EQ(mult.label, scales[e]);
        EXPECT_EQ(removal.label, scales[e]);
        EXPECT_EQ(mult.groupPath, (std::vector<std::wstring>{L"Threshold", L"Frequency"}));
        EXPECT_EQ(removal.groupPath, (std::vector<std::wstring>{L"Removal Amount", L"Frequency"}));
        EXPECT_EQ(mult.max, 500.0);
        EXPECT_EQ(removal.max, 100.0);
        EXPECT_EQ(removal.defaultValue.x, 100.0);
    }
    EXPECT_EQ(p.at("Channel:V:ThreasholdMult").label, L"V");
    EXPECT_EQ(p.at("Channel:U:ThreasholdMult").groupPath,
              (std::vector<std::wstring>{L"Threshold", L"Channel"}));
}

TEST(ParameterPanel, RemovalAmountsEdgesAndMethod) {
    Panel p;
    EXPECT_EQ(p.at("Channel:Y:NoiseRemoval").defaultValue.x, 80.0);
    EXPECT_EQ(p.at("Channel:U:NoiseRemoval").defaultValue.x, 100.0);
    EXPECT_EQ(p.at("Channel:V:NoiseRemoval").defaultValue.x, 100.0);
    EXPECT_EQ(p.at("Channel:Y:NoiseRemoval").groupPath,
              (std::vector<std::wstring>{L"Removal Amount"}));
    const auto& edges = p.at("keepEdges");
    EXPECT_EQ(edges.label, L"Keep Edges");
    EXPECT_EQ(edges.unit, L"");
    EXPECT_EQ(edges.max, 1000.0);
    EXPECT_EQ(edges.defaultValue.x, 100.0);
    EXPECT_EQ(edges.groupPath, (std::vector<std::wstring>{L"Threshold"}));
    EXPECT_EQ(p.at("softThresholding").defaultValue.x, 0.0);
    EXPECT_EQ(p.at("softThresholding").max, 100.0);

    const auto& method = p.at("method");
    EXPECT_EQ(method.label, L"Wavelet type");
    EXPECT_TRUE(method.groupPath.empty());
    EXPECT_EQ(method.entries, (std::vector<std::wstring>{L"Haar", L"Daubechies 4", L"Daubechies 8",
                                                         L"Daubechies 16", L"Symlets 16"}));
    EXPECT_EQ(method.entryValues, (std::vector<int32_t>{0, 1, 2, 3, 4}));
    EXPECT_EQ(method.defaultValue.x, 1.0);
    EXPECT_EQ(p.host.parameters().choiceValue("method", 0), 1);

    // Only the contrast slider shows two decimals.
    for (const auto& d : p.host.parameters().declarations()) {
        if (d.kind == ParameterKind::Float) {
            EXPECT_EQ(d.precision, d.id == "frequencyContrast" ? 2 : 1) << d.id;
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
