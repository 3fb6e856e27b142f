// The threshold settings driven through our host's table and parameter store, no GL.
#include "params/threshold_settings.h"

#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <vector>

#include "host/host.h"
#include "module_fixture.h"
#include "params/declare_parameters.h"
#include "tests/parameter_names.h"

namespace {

using kestrel::ParameterValue;
using Plugin::AnalysisResult;
using Vec3 = Plugin::plugin_glsl_types::genVec3<float>;
using test::markId;
using test::multiplierId;
using test::thresholdId;

constexpr int32_t kRenderTime = 12;
constexpr int32_t kPlainMode = 0;

// A distinct fraction per layer, level, channel and band: 0.001 .. 0.900.
float distinctFraction(int layer, int level, int channel, int band) {
    return float(1 + layer * 90 + (level - 1) * 9 + channel * 3 + band) / 1000.0f;
}

float component(const Vec3& v, int channel) {
    return channel == 0 ? v.x : (channel == 1 ? v.y : v.z);
}

template <typename Layer>
auto& sequence(Layer& layer, int band) {
    return band == 0 ? layer.hh : (band == 1 ? layer.lh : layer.hl);
}

AnalysisResult distinctResult(int layers, float meanY) {
    AnalysisResult result;
    result.meanColour = Vec3{meanY, 0.0f, 0.0f};
    result.layers.resize(size_t(layers));
    for (int n = 0; n < layers; ++n) {
        for (int k = 1; k <= 10; ++k) {
            for (int b = 0; b < 3; ++b) {
                sequence(result.layers[size_t(n)], b)
                    .push_back(Vec3{distinctFraction(n, k, 0, b), distinctFraction(n, k, 1, b),
                                    distinctFraction(n, k, 2, b)});
            }
        }
    }
    return result;
}

class ThresholdSettingsTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(Plugin::declareParameters(host.handle(), &host.api()), 1);
        host.renderContext().valid = 1;
        host.renderContext().time = kRenderTime;
    }
    void TearDown() override { EXPECT_EQ(host.hostErrors(), 0); }

    Plugin::HostCall call() { return Plugin::HostCall{host.handle(), &host.api()}; }
    kestrel::ParameterStore& store() { return host.parameters(); }
    double valueOf(const std::string& id, int32_t time = kRenderTime) {
        return store().value(id, time).x;
    }
    void setPlain(const std::string& id, double value) {
        store().set(id, kRenderTime, ParameterValue{value, 0.0}, kPlainMode);
    }
    // Every threshold of the layer set to `percent`, outside undo.
    void fillLayer(int layer, double percent) {
        for (int k = 1; k <= 10; ++k) {
            for (int c = 0; c < 3; ++c) {
                for (int b = 0; b < 3; ++b) setPlain(thresholdId(c, layer, b, k), percent);
            }
        }
    }

    kestrel::Host host{testing_support::loadedModule()};
};

// Layers the analysis did not reach are written as zero, whatever they held.
TEST_F(ThresholdSettingsTest, EveryThresholdRoundTripsInPercentUnderItsOwnIdentifier) {
    ASSERT_NE(store().find("vL9_ThresholdHL10"), nullptr);
    for (int written : {3, 10}) {
        for (int n = 0; n < 10; ++n) fillLayer(n, 55.0);
        Plugin::writeAnalysis(call(), distinctResult(written, 0.5f));
        AnalysisResult read;
        Plugin::readThresholds(call(), read);
        ASSERT_EQ(read.layers.size(), 10u);
        for (int n = 0; n < 10; ++n) {
            for (int b = 0; b < 3; ++b) {
                const std::vector<Vec3>& entries = sequence(read.layers[size_t(n)], b);
                ASSERT_EQ(entries.size(), 10u);
                for (int k = 1; k <= 10; ++k) {
                    for (int c = 0; c < 3; ++c) {
                        const float f = n < written ? distinctFraction(n, k, c, b) : 0.0f;
                        const std::string id = thresholdId(c, n, b, k);
                        EXPECT_NEAR(valueOf(id), 100.0 * f, 1e-4) << id;
                        EXPECT_NEAR(component(entries[size_t(k - 1)], c), f, 1e-6) << id;
                    }
                }
            }
        }
    }
}

TEST_F(ThresholdSettingsTest, ReadThresholdsReadsAtRenderTimeAndResetsTheMean) {
    // Keyed 10% at time 0 and 30% at time 24: 20% at the render time 12.
    store().setKeyframe("uL4_ThresholdLH7", 0, ParameterValue{10.0, 0.0});
    store().setKeyframe("uL4_ThresholdLH7", 24, ParameterValue{30.0, 0.0});
    // A result still holding an earlier reading and mean.
    AnalysisResult read = distinctResult(2, 0.9f);
    read.meanColour.z = 0.7f;
    Plugin::readThresholds(call(), read);
    ASSERT_EQ(read.layers.size(), 10u);
    EXPECT_EQ(read.layers[1].hh.size(), 10u) << "the earlier reading was kept";
    EXPECT_NEAR(read.layers[4].lh[6].y, 0.2f, 1e-6);
    EXPECT_EQ(read.layers[4].lh[6].x, 0.0f);
    EXPECT_EQ(read.layers[4].hh[6].y, 0.0f);
    EXPECT_EQ(read.meanColour.x, 0.5f);
    EXPECT_EQ(read.meanColour.z, 0.0f);
}

TEST_F(ThresholdSettingsTest, LayerHasThresholdsLooksAtTimeZeroOnly) {
    // Layer 3: zero at time 0, animated to 40% later; the render time sits on that key.
    store().setKeyframe("yL3_ThresholdHH1", 0, ParameterValue{0.0, 0.0});
    store().setKeyframe("yL3_ThresholdHH1", kRenderTime, ParameterValue{40.0, 0.0});
    // Layer 4: a single threshold, in the last level and the last position.
    setPlain("vL4_ThresholdHL10", 5.0);
    // Layer 6: a NaN counts as a threshold.
    setPlain("uL6_ThresholdLH5", std::numeric_limits<double>::quiet_NaN());

    EXPECT_FALSE(Plugin::layerHasThresholds(call(), 3));
    EXPECT_TRUE(Plugin::layerHasThresholds(call(), 4));
    EXPECT_TRUE(Plugin::layerHasThresholds(call(), 6));
    for (int layer : {0, 1, 2, 5, 7, 8, 9}) {
        EXPECT_FALSE(Plugin::layerHasThresholds(call(), layer)) << layer;
    }
}

// Only the analysis-box view (1) gives way to the result (0).
TEST_F(ThresholdSettingsTest, MeanLumaMarksTheNearestTenthBandAndTheBoxViewGivesWay) {
    const struct {
        float meanY;
        int band, view;
    } cases[] = {{0.04f, 0, 0},  {0.05f, 10, 1}, {0.44f, 40, 2},
                 {0.46f, 50, 3}, {1.2f, 100, 4}, {-0.3f, 0, 1}};
    for (const auto& c : cases) {
        for (int percent = 0; percent <= 100; percent += 10) setPlain(markId(percent), 0.0);
        store().setChoiceByValue("viewOption", kRenderTime, c.view, kPlainMode);
        Plugin::writeAnalysis(call(), distinctResult(1, c.meanY));
        for (int percent = 0; percent <= 100; percent += 10) {
            EXPECT_EQ(valueOf(markId(percent)), percent == c.band ? 1.0 : 0.0)
                << "mean " << c.meanY << ", band " << percent;
        }
        EXPECT_EQ(store().choiceValue("viewOption", kRenderTime), c.view == 1 ? 0 : c.view);
    }
}

TEST_F(ThresholdSettingsTest, WithoutAValidRenderContextNothingIsTouched) {
    AnalysisResult result = distinctResult(2, 0.8f);
    const int callsBefore = host.hostCalls();

    host.renderContext().valid = 0;
    Plugin::readThresholds(call(), result);
    Plugin::writeAnalysis(call(), distinctResult(10, 0.5f));
    host.api().renderContext = nullptr;
    Plugin::readThresholds(call(), result);
    Plugin::writeAnalysis(call(), distinctResult(10, 0.5f));
    host.api().renderContext = &host.renderContext();

    EXPECT_EQ(host.hostCalls(), callsBefore);
    EXPECT_TRUE(store().undoGroupLog().empty());
    EXPECT_EQ(valueOf("yL0_ThresholdHH1"), 0.0);
    EXPECT_EQ(valueOf("imageAnalysed"), 0.0);
    ASSERT_EQ(result.layers.size(), 2u);
    EXPECT_EQ(result.layers[1].hl.size(), 10u);
    EXPECT_EQ(result.meanColour.x, 0.8f);
}

// The brightness bands are observed at time 0, where the interpolation works.
class BrightnessInterpolationTest : public ThresholdSettingsTest {
protected:
    // Eleven percent values, band 0 first.
    void setMultipliers(const std::vector<double>& percents) {
        for (int band = 0; band <= 10; ++band) {
            store().set(multiplierId(band * 10), 0, ParameterValue{percents[size_t(band)], 0.0},
                        kPlainMode);
        }
    }
    void mark(int percent) { store().set(markId(percent), 0, ParameterValue{1.0}, kPlainMode); }
    double multiplier(int percent) { return store().value(multiplierId(percent), 0).x; }
    double marked(int percent) { return store().value(markId(percent), 0).x; }
};

TEST_F(BrightnessInterpolationTest, AnchorsBoundTheInterpolationAndAreNeverRewritten) {
    setMultipliers({1, 2, 30, 4, 5, 90, 7, 8, 150, 10, 11});
    mark(20);
    mark(80);
    mark(100);
    Plugin::interpolateBrightness(call(), 50, false);

    // Below the first anchor and between the anchors 80 and 100: untouched.
    const double expected[11] = {1, 2, 30, 50, 70, 90, 110, 130, 150, 10, 11};
    for (int band = 0; band <= 10; ++band) {
        EXPECT_NEAR(multiplier(10 * band), expected[band], 1e-4) << band * 10;
    }

    // Setting an anchored band again only re-interpolates around it.
    Plugin::interpolateBrightness(call(), 80, false);
    EXPECT_EQ(multiplier(80), 150.0);
    EXPECT_EQ(multiplier(50), 90.0);
    EXPECT_EQ(multiplier(100), 11.0);
    EXPECT_NEAR(multiplier(70), 130.0, 1e-4);
    EXPECT_NEAR(multiplier(90), 80.5, 1e-4);  // halfway from 150 to 11
}

TEST_F(BrightnessInterpolationTest, ReadsAndWritesAtTimeZero) {
    // Band 50 animated: 60% at time 0, 200% at the render time; band 60 keyed at both.
    store().setKeyframe(multiplierId(50), 0, ParameterValue{60.0});
    store().setKeyframe(multiplierId(50), kRenderTime, ParameterValue{200.0});
    store().setKeyframe(multiplierId(60), 0, ParameterValue{100.0});
    store().setKeyframe(multiplierId(60), kRenderTime, ParameterValue{100.0});
    Plugin::interpolateBrightness(call(), 50, true);

    const auto keys = store().keyframes(multiplierId(60));
    ASSERT_EQ(keys.size(), 2u);
    EXPECT_NEAR(keys.at(0).x, 60.0, 1e-4);
    EXPECT_EQ(keys.at(kRenderTime).x, 100.0);
    EXPECT_NEAR(multiplier(0), 60.0, 1e-4);
    EXPECT_EQ(store().keyframes(multiplierId(50)).at(kRenderTime).x, 200.0);
    EXPECT_EQ(marked(50), 1.0);
}

}  // namespace
