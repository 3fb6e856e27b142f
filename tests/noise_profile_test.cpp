// The frame's noise profile and how far boxes stray from it, on hand-made per-scale energies
// whose answers follow from the definitions.
#include <gtest/gtest.h>

#include <cmath>

#include "cli/analysis/local_profiles.h"
#include "cli/analysis/noise_profile.h"

namespace {

using namespace ruvovav::analysis;

NoiseProfile measured(ScaleShape shape) {
    return {std::move(shape), true};
}

TEST(DetailRatio, IsTheSpreadOfTheBoxOverTheProfileAcrossScales) {
    const NoiseProfile profile = measured({1.0, 2.0, 4.0});
    // Proportional to the profile: noise of another strength, no detail at all.
    EXPECT_DOUBLE_EQ(detailRatio({3.0, 6.0, 12.0}, profile), 0.0);
    // Twice the noise's energy at the coarsest scale: ratios 1, 1, 2.
    EXPECT_DOUBLE_EQ(detailRatio({1.0, 2.0, 8.0}, profile), 1.0);
    // Fine texture shows as a deficit at the coarse scales: ratios 3, 1, 1.
    EXPECT_DOUBLE_EQ(detailRatio({3.0, 2.0, 4.0}, profile), 2.0);
    // Only the scales both have: ratios 2 and 3.
    EXPECT_DOUBLE_EQ(detailRatio({2.0, 6.0}, profile), 0.5);
    EXPECT_DOUBLE_EQ(detailRatio({}, profile), 0.0);
    EXPECT_TRUE(std::isinf(detailRatio({0.0, 2.0, 4.0}, profile)));
    EXPECT_DOUBLE_EQ(detailRatio({5.0, 5.0}, whiteNoiseProfile(2)), 0.0);
}

// Boxes of one noise (shapes within a few per cent) and ten of texture with a different
// shape but equally tight, a hundred times louder.
std::vector<BoxEnergies> noiseAndTexture(int noiseBoxes) {
    std::vector<BoxEnergies> boxes;
    for (int i = 0; i < noiseBoxes; ++i) {
        const double wobble = 1.0 + 0.02 * (i % 3 - 1);
        boxes.push_back({1e-5 * wobble, {3.0 * wobble, 15.0, 30.0 / wobble}});
    }
    for (int i = 0; i < 10; ++i) {
        const double wobble = 1.0 + 0.02 * (i % 3 - 1);
        boxes.push_back({1e-3, {1.2, 3.0 * wobble, 25.0}});
    }
    return boxes;
}

TEST(MeasureNoiseProfile, IgnoresClustersBelowTheMinimumAndUnusableBoxes) {
    // Three noise boxes do not make a cluster of four: the louder texture cluster is all
    // there is.
    const NoiseProfile texture = measureNoiseProfile(noiseAndTexture(3), 4);
    ASSERT_TRUE(texture.measured);
    EXPECT_NEAR(texture.shape[0], 1.2, 1e-9);
    EXPECT_FALSE(measureNoiseProfile(noiseAndTexture(3), 11).measured);
    EXPECT_FALSE(measureNoiseProfile({}, 1).measured);
    // Boxes with a zero or missing scale are left out.
    EXPECT_FALSE(measureNoiseProfile({{1e-5, {1.0, 0.0, 1.0}}, {1e-5, {1.0, 1.0}}}, 1).measured);
}

TEST(NoiseProfilePlausibility, CorrelatedNoiseLevelsOffWherePictureKeepsRising) {
    // Steps of 1.9 and 1.8 beyond blocks of 4: noise.
    EXPECT_TRUE(plausibleNoise(measured({1.0, 3.0, 9.0, 17.0, 30.0})));
    // Fourfold from blocks of 4 to 8: picture.
    EXPECT_FALSE(plausibleNoise(measured({1.0, 3.0, 9.0, 36.0})));
    // Steep fine steps say nothing; three scales have no step from blocks of 4 on.
    EXPECT_TRUE(plausibleNoise(measured({1.0, 30.0, 300.0})));

    EXPECT_FALSE(showsCorrelation(measured({1.1, 5.0, 50.0})));
    EXPECT_TRUE(showsCorrelation(measured({3.0, 15.0, 30.0})));
    EXPECT_TRUE(showsCorrelation(measured({0.6, 2.0, 20.0})));
    EXPECT_FALSE(showsCorrelation(whiteNoiseProfile(3)));
}

TEST(LocalProfiles, ShadowsKeepTheirOwnShapeButTextureNeverBecomesNoise) {
    const NoiseProfile frame = measured({3.0, 15.0, 30.0});
    std::vector<BoxEnergies> boxes;
    std::vector<float> lumas;
    auto add = [&](const ScaleShape& shape, float luma) {
        boxes.insert(boxes.end(), 4, BoxEnergies{1e-5, shape});
        lumas.insert(lumas.end(), 4, luma);
    };
    add({2.0, 9.0, 16.0}, 0.1f);   // read noise whitens the shadows: within twice, tilted down
    add({3.0, 20.0, 60.0}, 0.5f);  // texture: twice as coarse-heavy at the same fine energy
    add({3.0, 15.0, 70.0}, 0.9f);  // beyond twice at one scale
    const LocalProfiles local(frame, boxes, lumas);
    EXPECT_NEAR(local.at(0.1f).shape[0], 2.0, 1e-9);
    EXPECT_NEAR(local.at(0.5f).shape[2], 30.0, 1e-9);
    EXPECT_NEAR(local.at(0.9f).shape[2], 30.0, 1e-9);
    // Far from every cluster: the frame's profile.
    EXPECT_NEAR(local.at(0.3f).shape[0], 3.0, 1e-9);

    // An unmeasured (white) frame profile is kept, even beside a cluster close to it.
    const std::vector<BoxEnergies> nearWhite(4, BoxEnergies{1e-5, {1.2, 1.1, 1.0}});
    const LocalProfiles white(whiteNoiseProfile(3), nearWhite, std::vector<float>(4, 0.1f));
    EXPECT_DOUBLE_EQ(white.at(0.1f).shape[0], 1.0);
}

}  // namespace
