// Automatic analysis boxes, checked on generated frames whose flat patches, textures, clipped
// areas and noise levels are known by construction.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <numbers>
#include <random>
#include <set>
#include <vector>

#include "cli/analysis/auto_boxes.h"
#include "cli/analysis/box_candidates.h"
#include "params/effect_rules.h"

namespace {

using namespace ruvovav::analysis;

struct Rect {
    int x = 0, y = 0, width = 0, height = 0;

    bool contains(const PixelBox& b) const {
        return b.x >= x && b.y >= y && b.x + b.width <= x + width && b.y + b.height <= y + height;
    }
    bool overlaps(const PixelBox& b) const {
        return b.x < x + width && x < b.x + b.width && b.y < y + height && y < b.y + b.height;
    }
};

struct Patch {
    Rect area;
    float level = 0.0f;
};

using GrainCurve = std::function<float(float)>;

// Film-like grain: strongest in the mid-tones (0.036 at 0.5, 0.0168 at 0.1 and 0.9).
float midToneGrain(float level) {
    return 0.006f + 0.12f * level * (1.0f - level);
}

// Sensor-like noise that grows towards black instead.
float darkGrain(float level) {
    return 0.004f + 0.04f * (1.0f - level);
}

class Scene {
public:
    using Painter = std::function<float(int, int)>;

    Scene(int width, int height) : width_(width), height_(height), clean_(area(), 0.5f) {}

    void paintRect(const Rect& r, const Painter& value) {
        for (int y = r.y; y < std::min(height_, r.y + r.height); ++y)
            for (int x = r.x; x < std::min(width_, r.x + r.width); ++x)
                clean_[index(x, y)] = value(x, y);
    }
    void paintFlat(const Rect& r, float level) {
        paintRect(r, [level](int, int) { return level; });
    }

    // Every pixel becomes texture: 40-pixel tiles of random mean, each holding a grating, a
    // checker board or a straight edge, so tile borders are edges too. With `gratingsOnly`,
    // gratings of one mean: faint detail, no edges.
    void fillWithTexture(unsigned seed, float amplitude = 0.12f, bool gratingsOnly = false) {
        std::mt19937 rng(seed);
        std::uniform_real_distribution<float> uniform(0.0f, 1.0f);
        for (int ty = 0; ty < height_; ty += kTile)
            for (int tx = 0; tx < width_; tx += kTile) {
                const float mean = gratingsOnly ? 0.5f : 0.25f + 0.5f * uniform(rng);
                const float a = uniform(rng), b = uniform(rng);
                const int kind = gratingsOnly ? 0 : int(rng() % 3);
                const float k = 2.0f * std::numbers::pi_v<float> / (6.0f + 18.0f * a);
                const float angle = (kind == 0 ? 3.14159f : 6.28318f) * b;
                const float nx = std::cos(angle), ny = std::sin(angle);
                const int square = 4 + int(8 * a);
                paintRect({tx, ty, kTile, kTile}, [=](int x, int y) {
                    const float u = float(x - tx), v = float(y - ty);
                    if (kind == 0) return mean + amplitude * std::sin(k * (nx * u + ny * v));
                    if (kind == 1)
                        return (x / square + y / square) % 2 ? mean - amplitude : mean + amplitude;
                    return nx * (u - kTile / 2) + ny * (v - kTile / 2) > 0 ? mean + amplitude
                                                                           : mean - amplitude;
                });
            }
    }

    // Noise of deviation grain(clean value) per pixel, then clipped to 0 … 1 like footage.
    // Correlated: white noise blurred by [1 2 1] / 4 in both directions, much as bilinear
    // demosaicing spreads it, scaled back to that deviation (each pass keeps 6/16 of the
    // variance).
    LumaImage withNoise(const GrainCurve& grain, unsigned seed, bool correlated = false) const {
        std::mt19937 rng(seed);
        std::normal_distribution<float> normal(0.0f, 1.0f);
        std::vector<float> field(area());
        for (float& v : field) v = normal(rng);
        if (correlated) field = blurred(blurred(field, 1, 0), 0, 1);
        const float gain = correlated ? 8.0f / 3.0f : 1.0f;
        LumaImage image{width_, height_, std::vector<float>(area())};
        for (std::size_t i = 0; i < clean_.size(); ++i)
            image.y[i] = std::clamp(clean_[i] + grain(clean_[i]) * gain * field[i], 0.0f, 1.0f);
        return image;
    }

private:
    static constexpr int kTile = 40;

    std::vector<float> blurred(const std::vector<float>& in, int dx, int dy) const {
        std::vector<float> out(in.size());
        for (int y = 0; y < height_; ++y)
            for (int x = 0; x < width_; ++x) {
                const int x0 = std::max(x - dx, 0), x1 = std::min(x + dx, width_ - 1);
                const int y0 = std::max(y - dy, 0), y1 = std::min(y + dy, height_ - 1);
                out[index(x, y)] =
                    0.25f * in[index(x0, y0)] + 0.5f * in[index(x, y)] + 0.25f * in[index(x1, y1)];
            }
        return out;
    }
    std::size_t area() const { return static_cast<std::size_t>(width_) * height_; }
    std::size_t index(int x, int y) const { return static_cast<std::size_t>(y) * width_ + x; }

    int width_, height_;
    std::vector<float> clean_;
};

// 960 × 540: the default box is 64 pixels, on a 32-pixel grid. Five 160-pixel flat patches
// (each holds several grid boxes) at 0.1 … 0.9, and three clipped flat areas, in texture.
constexpr int kWidth = 960, kHeight = 540;
const std::vector<Patch> kPatches = {{{32, 64, 160, 160}, 0.1f},
                                     {{224, 64, 160, 160}, 0.3f},
                                     {{416, 64, 160, 160}, 0.5f},
                                     {{608, 64, 160, 160}, 0.7f},
                                     {{800, 64, 160, 160}, 0.9f}};
const std::vector<Patch> kClipped = {
    {{96, 320, 160, 160}, 0.0f}, {{384, 320, 160, 160}, 1.0f}, {{672, 320, 160, 160}, 0.995f}};

Scene patchScene(const std::vector<Patch>& patches, unsigned seed) {
    Scene scene(kWidth, kHeight);
    scene.fillWithTexture(seed);
    for (const Patch& p : patches) scene.paintFlat(p.area, p.level);
    for (const Patch& p : kClipped) scene.paintFlat(p.area, p.level);
    return scene;
}

const Patch* patchHolding(const std::vector<Patch>& patches, const PixelBox& box) {
    for (const Patch& p : patches) {
        if (p.area.contains(box)) return &p;
    }
    return nullptr;
}

TEST(BrightnessBand, RoundsMeanLumaToTheNearestTenthAndClamps) {
    const std::pair<float, int> cases[] = {{0.47f, 50}, {0.44f, 40},       {0.04f, 0},
                                           {0.06f, 10}, {0.96f, 100},      {-0.3f, 0},
                                           {1e9f, 100}, {std::nanf(""), 0}};
    for (const auto& [luma, band] : cases)
        EXPECT_EQ(Plugin::rules::brightnessBandOf(luma), band) << luma;
}

TEST(BoxSides, LargestFirstPowersOfTwoThatLeaveRoomToMove) {
    using Sides = std::vector<int>;
    EXPECT_EQ(boxSides(3840, 2160), (Sides{256, 128, 64}));
    EXPECT_EQ(boxSides(1280, 720), (Sides{256, 128, 64}));
    EXPECT_EQ(boxSides(384, 256), (Sides{128, 64}));
    EXPECT_EQ(boxSides(200, 100), (Sides{64}));  // too tight to move a box of half the side
    EXPECT_EQ(boxSides(40, 4000), (Sides{32}));
    EXPECT_TRUE(boxSides(31, 4000).empty());
    EXPECT_TRUE(boxSides(0, 0).empty());
    EXPECT_EQ(boxSides(5000, 63), (Sides{32}));  // the only side that fits
}

TEST(NoiseEstimate, RecoversTheAddedDeviationInEveryBoxOfPureNoise) {
    // Grid of 64-pixel boxes at 32-pixel steps on 640 × 360: 19 × 10 positions.
    constexpr std::size_t kGridBoxes = 19 * 10;
    for (const float sigma : {0.004f, 0.02f, 0.07f}) {
        Scene scene(640, 360);
        const LumaImage image = scene.withNoise([sigma](float) { return sigma; }, 7);
        const std::vector<BoxCandidate> candidates = rankCandidates(image, 64);
        // The flat limit sits about four deviations above pure noise: at most a handful of
        // the 190 boxes may fall out by chance.
        EXPECT_GE(candidates.size(), kGridBoxes - 3) << sigma;
        double sum = 0.0;
        for (const BoxCandidate& c : candidates) {
            // The estimate averages ~3900 correlated |responses|: relative deviation ≈ 2.2 %,
            // so 10 % is over four deviations.
            EXPECT_NEAR(c.noiseSigma, sigma, 0.10f * sigma);
            EXPECT_LT(c.detailRatio, kFlatDetailRatio);
            EXPECT_GT(c.detailRatio, -kFlatDetailRatio);
            EXPECT_NEAR(c.meanLuma, 0.5f, 0.01f);
            sum += c.noiseSigma;
        }
        // Unbiased: the mean over ~190 boxes is good to a fraction of a percent.
        EXPECT_NEAR(sum / candidates.size(), sigma, 0.01 * sigma) << sigma;
    }
}

TEST(Flatness, EveryCandidateLiesInAFlatUnclippedPatchOfTheRightBrightness) {
    const Scene scene = patchScene(kPatches, 21);
    const LumaImage image = scene.withNoise(midToneGrain, 22);
    const std::vector<BoxCandidate> candidates = rankCandidates(image, 64);
    std::set<const Patch*> used;
    for (const BoxCandidate& c : candidates) {
        const Patch* patch = patchHolding(kPatches, c.box);
        ASSERT_NE(patch, nullptr) << "box at " << c.box.x << "," << c.box.y << " holds texture";
        used.insert(patch);
        for (const Patch& clipped : kClipped) EXPECT_FALSE(clipped.area.overlaps(c.box));
        EXPECT_EQ(Plugin::rules::brightnessBandOf(c.meanLuma),
                  Plugin::rules::brightnessBandOf(patch->level));
        // Sampling error of one 64-pixel box is ≈ 2.2 %; 10 % is over four deviations.
        const float sigma = midToneGrain(patch->level);
        EXPECT_NEAR(c.noiseSigma, sigma, 0.10f * sigma);
    }
    // Each 160-pixel patch holds boxes clear of its border texture.
    EXPECT_EQ(used.size(), kPatches.size());
}

TEST(Flatness, CandidatesComeMidTonesFirstThenByScore) {
    // Noise grows towards black: the shadows score highest, yet mid-tones come first.
    const LumaImage image = patchScene(kPatches, 31).withNoise(darkGrain, 32);
    const std::vector<BoxCandidate> candidates = rankCandidates(image, 64);
    ASSERT_GT(candidates.size(), 1u);
    for (std::size_t i = 1; i < candidates.size(); ++i) {
        const BoxCandidate &a = candidates[i - 1], &b = candidates[i];
        EXPECT_FALSE(!isMidTone(a.meanLuma) && isMidTone(b.meanLuma)) << i;
        if (isMidTone(a.meanLuma) == isMidTone(b.meanLuma)) {
            EXPECT_GE(a.score, b.score) << i;
        }
    }
}

// The primary box goes to the noisiest mid-tone patch, else to the noisiest flat area; one
// brightness box more for each other patch, each of its own band.
TEST(ChooseBoxes, PrimaryGoesToTheNoisiestMidToneElseTheNoisiestFlatArea) {
    const std::vector<Patch> extremes = {kPatches.front(), kPatches.back()};
    struct Case {
        std::vector<Patch> patches;
        GrainCurve grain;
        float primaryLevel;
        int brightnessBoxes;  // -1: any
    };
    const Case cases[] = {
        {kPatches, midToneGrain, 0.5f, 4},
        // Noise grows towards black: 0.1 is noisiest overall, 0.3 among the mid-tones.
        {kPatches, darkGrain, 0.3f, -1},
        // No mid-tones, and brighter is noisier: 0.9 has 0.023, 0.1 has 0.007.
        {extremes, [](float level) { return 0.005f + 0.02f * level; }, 0.9f, 1},
    };
    unsigned seed = 41;
    for (const Case& c : cases) {
        const AutoBoxes boxes =
            chooseBoxes(patchScene(c.patches, seed).withNoise(c.grain, seed + 1));
        seed += 10;
        ASSERT_TRUE(boxes.found) << c.primaryLevel;
        const Patch* primary = patchHolding(c.patches, boxes.primary.box);
        ASSERT_NE(primary, nullptr) << c.primaryLevel;
        EXPECT_EQ(primary->level, c.primaryLevel);
        EXPECT_EQ(boxes.primary.box.width, 64);
        if (c.brightnessBoxes >= 0) {
            EXPECT_EQ(int(boxes.brightness.size()), c.brightnessBoxes) << c.primaryLevel;
        }
        std::set<int> bands{Plugin::rules::brightnessBandOf(boxes.primary.meanLuma)};
        for (const BoxCandidate& b : boxes.brightness) {
            const Patch* patch = patchHolding(c.patches, b.box);
            ASSERT_NE(patch, nullptr) << "brightness box at " << b.box.x << "," << b.box.y;
            EXPECT_EQ(Plugin::rules::brightnessBandOf(b.meanLuma),
                      Plugin::rules::brightnessBandOf(patch->level));
            EXPECT_TRUE(bands.insert(Plugin::rules::brightnessBandOf(b.meanLuma)).second)
                << "band used twice";
            EXPECT_EQ(b.box.width, boxes.primary.box.width);
            EXPECT_EQ(b.box.height, boxes.primary.box.height);
        }
    }
}

TEST(ChooseBoxes, FallsBackToSmallerBoxesWhenOnlySmallFlatAreasExist) {
    // 1024 × 1024 asks for 128-pixel boxes; the only flat area is 112 pixels wide, which
    // holds a 64-pixel box clear of the surrounding texture.
    Scene scene(1024, 1024);
    scene.fillWithTexture(71);
    const Rect flat{320, 320, 112, 112};
    scene.paintFlat(flat, 0.5f);
    const AutoBoxes boxes = chooseBoxes(scene.withNoise(midToneGrain, 72));
    ASSERT_TRUE(boxes.found);
    EXPECT_EQ(boxes.primary.box.width, 64);
    EXPECT_TRUE(flat.contains(boxes.primary.box));
    EXPECT_TRUE(boxes.brightness.empty());
}

// A picture whose data does not match its size, and box sides the frame or the method cannot
// take, find nothing without failing (frames too small for any side: BoxSides); a 40-pixel
// frame just holds one 32-pixel box.
TEST(ChooseBoxes, OnlyBoxesThatFitTheFrameAreFound) {
    LumaImage wrongSize{100, 100, std::vector<float>(50, 0.5f)};
    EXPECT_FALSE(chooseBoxes(wrongSize).found);
    EXPECT_TRUE(rankCandidates(wrongSize, 64).empty());

    const AutoBoxes small = chooseBoxes(Scene(40, 40).withNoise([](float) { return 0.02f; }, 91));
    ASSERT_TRUE(small.found);
    EXPECT_EQ(small.primary.box.width, 32);
    EXPECT_TRUE((Rect{0, 0, 40, 40}.contains(small.primary.box)));
    EXPECT_TRUE(small.brightness.empty());

    const LumaImage image = Scene(kWidth, kHeight).withNoise([](float) { return 0.02f; }, 93);
    EXPECT_TRUE(rankCandidates(image, 16).empty());
    EXPECT_TRUE(rankCandidates(image, 1024).empty());
    for (const BoxCandidate& c : rankCandidates(image, 128))
        EXPECT_TRUE((Rect{0, 0, kWidth, kHeight}.contains(c.box)));
}

TEST(CorrelatedNoise, IsMeasuredFromTheFrameAndFlatPatchesStillFound) {
    const LumaImage image = patchScene(kPatches, 101).withNoise(midToneGrain, 102, true);
    const BoxSurvey survey = surveyBoxes(image, 64);
    ASSERT_TRUE(survey.profile.measured) << "the white-noise model would refuse every box";
    // Blurred noise keeps more energy at coarse scales than at fine ones.
    EXPECT_GT(survey.profile.shape.back(), 2.0 * survey.profile.shape.front());
    std::set<const Patch*> used;
    for (const BoxCandidate& c : rankFlat(survey)) {
        const Patch* patch = patchHolding(kPatches, c.box);
        ASSERT_NE(patch, nullptr) << "box at " << c.box.x << "," << c.box.y << " holds texture";
        used.insert(patch);
    }
    EXPECT_GE(used.size(), 4u);
    const AutoBoxes boxes = chooseBoxes(image);
    ASSERT_EQ(boxes.choice, BoxChoice::Flat);
    const Patch* primary = patchHolding(kPatches, boxes.primary.box);
    ASSERT_NE(primary, nullptr);
    EXPECT_TRUE(isMidTone(primary->level));
}

TEST(CorrelatedNoise, AFaintTextureShapedLikeTheNoiseIsTooLoudToBeFlat) {
    // Two patches of one brightness; one carries a second, independent noise field of the
    // same making at √2 times its strength: to every shape test it is noise, but it holds
    // three times the energy.
    Scene scene(kWidth, kHeight);
    scene.fillWithTexture(111);
    const Rect quiet{64, 64, 192, 192}, loud{416, 64, 192, 192};
    scene.paintFlat(quiet, 0.5f);
    scene.paintFlat(loud, 0.5f);
    const GrainCurve grain = [](float) { return 0.02f; };
    LumaImage image = scene.withNoise(grain, 112, true);
    const LumaImage second = scene.withNoise(grain, 113, true);
    for (int y = loud.y; y < loud.y + loud.height; ++y) {
        for (int x = loud.x; x < loud.x + loud.width; ++x) {
            const std::size_t i = static_cast<std::size_t>(y) * kWidth + x;
            image.y[i] += std::sqrt(2.0f) * (second.y[i] - 0.5f);
        }
    }
    const std::vector<BoxCandidate> flat = rankCandidates(image, 64);
    ASSERT_FALSE(flat.empty());
    for (const BoxCandidate& c : flat) {
        EXPECT_TRUE(quiet.contains(c.box)) << "box at " << c.box.x << "," << c.box.y;
    }
}

TEST(NoFlatArea, ClippedBlankAndTexturedFramesAreRefusedForWhatTheyAre) {
    Scene black(320, 240);
    black.paintFlat({0, 0, 320, 240}, 0.0f);
    const AutoBoxes clipped = chooseBoxes(black.withNoise([](float) { return 0.0f; }, 1));
    EXPECT_EQ(clipped.choice, BoxChoice::None);
    EXPECT_EQ(clipped.reason, NoAreaReason::Clipped);

    const LumaImage grey = Scene(320, 240).withNoise([](float) { return 0.0f; }, 2);
    const AutoBoxes blank = chooseBoxes(grey);
    EXPECT_EQ(blank.reason, NoAreaReason::Blank);
    EXPECT_FALSE(blank.found);
    EXPECT_TRUE(rankCandidates(grey, 64).empty());

    Scene textured(kWidth, kHeight);
    textured.fillWithTexture(5);
    const LumaImage busyImage = textured.withNoise(midToneGrain, 5);
    EXPECT_TRUE(rankCandidates(busyImage, 64).empty());
    const AutoBoxes busy = chooseBoxes(busyImage);
    EXPECT_FALSE(busy.found);
    EXPECT_EQ(busy.reason, NoAreaReason::Textured);
    // The flattest box is named, so that a user can start from it.
    EXPECT_EQ(busy.flattest.box.width, 64);
    EXPECT_GE(busy.flattest.detailRatio, kUsableDetailRatio);
    EXPECT_FALSE(busy.survey.measured.empty());
}

TEST(NoFlatArea, FaintDetailEverywhereGivesTheFlattestBoxWithAWarning) {
    // Gratings of the noise's own deviation: picture at some scale, but nowhere more than a
    // few times the noise.
    Scene faint(kWidth, kHeight);
    faint.fillWithTexture(121, 0.02f, true);
    const AutoBoxes boxes = chooseBoxes(faint.withNoise([](float) { return 0.02f; }, 122));
    ASSERT_EQ(boxes.choice, BoxChoice::NearlyFlat);
    EXPECT_TRUE(boxes.found);
    EXPECT_GE(boxes.primary.detailRatio, kFlatDetailRatio);
    EXPECT_LT(boxes.primary.detailRatio, kUsableDetailRatio);
    for (const BoxCandidate& c : boxes.survey.measured) {
        EXPECT_GE(c.detailRatio, boxes.primary.detailRatio);
    }
    EXPECT_TRUE(boxes.brightness.empty());
}

}  // namespace
