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
    Scene(int width, int height) : width_(width), height_(height), clean_(area(), 0.5f) {}

    // Every pixel becomes texture: 40-pixel tiles of random mean, each holding a grating, a
    // checker board, smooth blobs or a straight edge, so tile borders are edges too.
    void fillWithTexture(unsigned seed, float amplitude = 0.12f) {
        std::mt19937 rng(seed);
        for (int ty = 0; ty < height_; ty += kTile) {
            for (int tx = 0; tx < width_; tx += kTile) paintTile(tx, ty, amplitude, rng);
        }
    }

    // Gratings only, of one mean, at random periods and angles: faint detail, no edges.
    void fillWithGratings(unsigned seed, float amplitude) {
        std::mt19937 rng(seed);
        for (int ty = 0; ty < height_; ty += kTile) {
            for (int tx = 0; tx < width_; tx += kTile) {
                paintRect({tx, ty, kTile, kTile}, grating(tx, ty, 0.5f, amplitude, rng));
            }
        }
    }

    void paintFlat(const Rect& r, float level) {
        paintRect(r, [level](int, int) { return level; });
    }

    void paintRect(const Rect& r, const std::function<float(int, int)>& value) {
        for (int y = r.y; y < std::min(height_, r.y + r.height); ++y) {
            for (int x = r.x; x < std::min(width_, r.x + r.width); ++x) {
                clean_[index(x, y)] = value(x, y);
            }
        }
    }

    // Noise of deviation grain(clean value) per pixel, then clipped to 0 … 1 like footage.
    LumaImage withNoise(const GrainCurve& grain, unsigned seed) const {
        std::mt19937 rng(seed);
        std::normal_distribution<float> normal(0.0f, 1.0f);
        LumaImage image{width_, height_, std::vector<float>(area())};
        for (std::size_t i = 0; i < clean_.size(); ++i) {
            image.y[i] = std::clamp(clean_[i] + grain(clean_[i]) * normal(rng), 0.0f, 1.0f);
        }
        return image;
    }

    // Noise correlated between neighbours: white noise blurred by [1 2 1] / 4 in both
    // directions, much as bilinear demosaicing spreads it, scaled back to deviation
    // grain(clean value).
    LumaImage withCorrelatedNoise(const GrainCurve& grain, unsigned seed) const {
        std::mt19937 rng(seed);
        std::normal_distribution<float> normal(0.0f, 1.0f);
        std::vector<float> field(area());
        for (float& v : field) v = normal(rng);
        field = blurred(blurred(field, 1, 0), 0, 1);
        // Each [1 2 1] / 4 pass keeps 6/16 of the variance.
        const float gain = 1.0f / (3.0f / 8.0f);
        LumaImage image{width_, height_, std::vector<float>(area())};
        for (std::size_t i = 0; i < clean_.size(); ++i) {
            image.y[i] = std::clamp(clean_[i] + grain(clean_[i]) * gain * field[i], 0.0f, 1.0f);
        }
        return image;
    }

private:
    static constexpr int kTile = 40;

    std::vector<float> blurred(const std::vector<float>& in, int dx, int dy) const {
        std::vector<float> out(in.size());
        for (int y = 0; y < height_; ++y) {
            for (int x = 0; x < width_; ++x) {
                const int x0 = std::max(x - dx, 0), x1 = std::min(x + dx, width_ - 1);
                const int y0 = std::max(y - dy, 0), y1 = std::min(y + dy, height_ - 1);
                out[index(x, y)] =
                    0.25f * in[index(x0, y0)] + 0.5f * in[index(x, y)] + 0.25f * in[index(x1, y1)];
            }
        }
        return out;
    }
    using Painter = std::function<float(int, int)>;

    std::size_t area() const { return static_cast<std::size_t>(width_) * height_; }
    std::size_t index(int x, int y) const { return static_cast<std::size_t>(y) * width_ + x; }

    void paintTile(int tx, int ty, float amplitude, std::mt19937& rng) {
        const float mean = std::uniform_real_distribution<float>(0.25f, 0.75f)(rng);
        const Rect tile{tx, ty, kTile, kTile};
        switch (rng() % 4) {
            case 0:
                paintRect(tile, grating(tx, ty, mean, amplitude, rng));
                break;
            case 1:
                paintRect(tile, checkers(mean, amplitude, rng));
                break;
            case 2:
                paintRect(tile, blobs(tx, ty, mean, amplitude, rng));
                break;
            default:
                paintRect(tile, edge(tx, ty, mean, amplitude, rng));
                break;
        }
    }

    static Painter grating(int tx, int ty, float mean, float amplitude, std::mt19937& rng) {
        const float period = std::uniform_real_distribution<float>(6.0f, 24.0f)(rng);
        const float angle = std::uniform_real_distribution<float>(0.0f, 3.14159f)(rng);
        const float k = 2.0f * std::numbers::pi_v<float> / period;
        const float kx = k * std::cos(angle), ky = k * std::sin(angle);
        return [=](int x, int y) {
            return mean + amplitude * std::sin(kx * static_cast<float>(x - tx) +
                                               ky * static_cast<float>(y - ty));
        };
    }

    static Painter checkers(float mean, float amplitude, std::mt19937& rng) {
        const int square = std::uniform_int_distribution<int>(4, 12)(rng);
        return [=](int x, int y) {
            return ((x / square + y / square) % 2 == 0) ? mean + amplitude : mean - amplitude;
        };
    }

    static Painter blobs(int tx, int ty, float mean, float amplitude, std::mt19937& rng) {
        std::uniform_real_distribution<float> position(0.0f, kTile), radius(4.0f, 10.0f);
        struct Blob {
            float x, y, r, a;
        };
        std::vector<Blob> list;
        for (int i = 0; i < 4; ++i) {
            const float sign = (i % 2 == 0) ? 1.5f : -1.5f;
            list.push_back({tx + position(rng), ty + position(rng), radius(rng), sign * amplitude});
        }
        return [=](int x, int y) {
            float v = mean;
            for (const Blob& b : list) {
                const float dx = x - b.x, dy = y - b.y;
                v += b.a * std::exp(-(dx * dx + dy * dy) / (2.0f * b.r * b.r));
            }
            return v;
        };
    }

    static Painter edge(int tx, int ty, float mean, float amplitude, std::mt19937& rng) {
        const float angle = std::uniform_real_distribution<float>(0.0f, 6.28318f)(rng);
        const float nx = std::cos(angle), ny = std::sin(angle);
        const float cx = tx + kTile / 2.0f, cy = ty + kTile / 2.0f;
        return [=](int x, int y) {
            return (nx * (x - cx) + ny * (y - cy) > 0.0f) ? mean + amplitude : mean - amplitude;
        };
    }

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

bool insideFrame(const PixelBox& b, int width, int height) {
    return b.x >= 0 && b.y >= 0 && b.width > 0 && b.height > 0 && b.x + b.width <= width &&
           b.y + b.height <= height;
}

// ---------------------------------------------------------------------------------------

TEST(BrightnessBand, RoundsMeanLumaToTheNearestTenthAndClamps) {
    EXPECT_EQ(Plugin::rules::brightnessBandOf(0.47f), 50);
    EXPECT_EQ(Plugin::rules::brightnessBandOf(0.44f), 40);
    EXPECT_EQ(Plugin::rules::brightnessBandOf(0.0f), 0);
    EXPECT_EQ(Plugin::rules::brightnessBandOf(0.04f), 0);
    EXPECT_EQ(Plugin::rules::brightnessBandOf(0.06f), 10);
    EXPECT_EQ(Plugin::rules::brightnessBandOf(0.96f), 100);
    EXPECT_EQ(Plugin::rules::brightnessBandOf(1.0f), 100);
    EXPECT_EQ(Plugin::rules::brightnessBandOf(-0.3f), 0);
    EXPECT_EQ(Plugin::rules::brightnessBandOf(1.7f), 100);
    EXPECT_EQ(Plugin::rules::brightnessBandOf(1e9f), 100);
    EXPECT_EQ(Plugin::rules::brightnessBandOf(std::nanf("")), 0);
}

TEST(BoxSides, LargestFirstPowersOfTwoThatLeaveRoomToMove) {
    using Sides = std::vector<int>;
    EXPECT_EQ(boxSides(1920, 1080), (Sides{256, 128, 64}));
    EXPECT_EQ(boxSides(3840, 2160), (Sides{256, 128, 64}));
    EXPECT_EQ(boxSides(1280, 720), (Sides{256, 128, 64}));
    EXPECT_EQ(boxSides(640, 360), (Sides{128, 64}));
    EXPECT_EQ(boxSides(384, 256), (Sides{128, 64}));
    EXPECT_EQ(boxSides(200, 100), (Sides{64}));  // too tight to move a box of half the side
    EXPECT_EQ(boxSides(40, 4000), (Sides{32}));
    EXPECT_TRUE(boxSides(31, 4000).empty());
    EXPECT_TRUE(boxSides(0, 0).empty());
    for (const int shortSide : {32, 63, 64, 100, 500, 1023, 1024, 5000}) {
        const Sides sides = boxSides(shortSide + 7, shortSide);
        ASSERT_FALSE(sides.empty()) << shortSide;
        for (const int side : sides) {
            EXPECT_LE(side, shortSide) << shortSide;
            EXPECT_EQ(side & (side - 1), 0) << "not a power of two: " << side;
        }
        EXPECT_TRUE(std::is_sorted(sides.rbegin(), sides.rend())) << shortSide;
    }
}

// ---------------------------------------------------------------------------------------
// Pure noise: every box is flat, and the estimate recovers the deviation that was added.

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

TEST(NoiseEstimate, IgnoresSmoothShadingAcrossAFlatArea) {
    Scene scene(kWidth, kHeight);
    // A ramp from 0.3 to 0.7 across the frame is shading, not detail.
    scene.paintRect({0, 0, kWidth, kHeight},
                    [](int x, int) { return 0.3f + 0.4f * static_cast<float>(x) / kWidth; });
    const LumaImage image = scene.withNoise([](float) { return 0.02f; }, 11);
    const std::vector<BoxCandidate> candidates = rankCandidates(image, 64);
    EXPECT_GE(candidates.size(), 29u * 15u - 5u);
    for (const BoxCandidate& c : candidates) EXPECT_NEAR(c.noiseSigma, 0.02f, 0.002f);
}

TEST(NoiseEstimate, AFlatAreaWithoutNoiseIsNoCandidate) {
    Scene scene(320, 240);
    const LumaImage image = scene.withNoise([](float) { return 0.0f; }, 1);
    EXPECT_TRUE(rankCandidates(image, 64).empty());
    EXPECT_FALSE(chooseBoxes(image).found);
}

// ---------------------------------------------------------------------------------------
// Detail and clipping are refused.

TEST(Flatness, BoxesNeverStraddleAnEdgeBetweenTwoFlatAreas) {
    for (const int split : {480, 500}) {  // on the box grid, and between grid lines
        Scene scene(kWidth, kHeight);
        scene.paintFlat({0, 0, split, kHeight}, 0.35f);
        scene.paintFlat({split, 0, kWidth - split, kHeight}, 0.65f);
        const LumaImage image = scene.withNoise([](float) { return 0.02f; }, 3);
        const std::vector<BoxCandidate> candidates = rankCandidates(image, 64);
        EXPECT_FALSE(candidates.empty());
        for (const BoxCandidate& c : candidates) {
            EXPECT_FALSE(c.box.x < split && split < c.box.x + c.box.width)
                << "box at " << c.box.x << " crosses the edge at " << split;
        }
    }
}

TEST(Flatness, TexturedFramesHaveNoFlatBox) {
    Scene strong(kWidth, kHeight);
    strong.fillWithTexture(5);
    const LumaImage image = strong.withNoise(midToneGrain, 5);
    EXPECT_TRUE(rankCandidates(image, 64).empty());
    EXPECT_FALSE(chooseBoxes(image).found);

    // Gratings of only twice the noise's deviation are still picture.
    Scene faint(kWidth, kHeight);
    faint.fillWithGratings(6, 0.04f);
    const LumaImage faintImage = faint.withNoise([](float) { return 0.02f; }, 6);
    EXPECT_TRUE(rankCandidates(faintImage, 64).empty());
    EXPECT_FALSE(chooseBoxes(faintImage).found);
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
    const LumaImage image = patchScene(kPatches, 31).withNoise(midToneGrain, 32);
    const std::vector<BoxCandidate> candidates = rankCandidates(image, 64);
    ASSERT_GT(candidates.size(), 1u);
    for (std::size_t i = 1; i < candidates.size(); ++i) {
        const BoxCandidate &a = candidates[i - 1], &b = candidates[i];
        EXPECT_FALSE(!isMidTone(a.meanLuma) && isMidTone(b.meanLuma)) << i;
        if (isMidTone(a.meanLuma) == isMidTone(b.meanLuma)) {
            EXPECT_GE(a.score, b.score) << i;
        }
    }
    for (const BoxCandidate& c : candidates) {
        // Purity weighs the noise level by a factor between one half and one.
        EXPECT_LE(c.score, c.noiseSigma);
        EXPECT_GE(c.score, 0.5f * c.noiseSigma);
    }
}

// ---------------------------------------------------------------------------------------
// The chosen boxes.

void expectDistinctBandsInMatchingPatches(const AutoBoxes& boxes,
                                          const std::vector<Patch>& patches) {
    std::set<int> bands{Plugin::rules::brightnessBandOf(boxes.primary.meanLuma)};
    for (const BoxCandidate& c : boxes.brightness) {
        const Patch* patch = patchHolding(patches, c.box);
        ASSERT_NE(patch, nullptr) << "brightness box at " << c.box.x << "," << c.box.y;
        EXPECT_EQ(Plugin::rules::brightnessBandOf(c.meanLuma),
                  Plugin::rules::brightnessBandOf(patch->level));
        EXPECT_TRUE(bands.insert(Plugin::rules::brightnessBandOf(c.meanLuma)).second)
            << "band used twice";
        EXPECT_EQ(c.box.width, boxes.primary.box.width);
        EXPECT_EQ(c.box.height, boxes.primary.box.height);
    }
}

TEST(ChooseBoxes, MidToneGrainPutsThePrimaryInTheMidGreyPatch) {
    const LumaImage image = patchScene(kPatches, 41).withNoise(midToneGrain, 42);
    const AutoBoxes boxes = chooseBoxes(image);
    ASSERT_TRUE(boxes.found);
    const Patch* primary = patchHolding(kPatches, boxes.primary.box);
    ASSERT_NE(primary, nullptr);
    EXPECT_EQ(primary->level, 0.5f);
    EXPECT_EQ(boxes.primary.box.width, 64);
    // The other four patches, one brightness box each.
    EXPECT_EQ(boxes.brightness.size(), 4u);
    expectDistinctBandsInMatchingPatches(boxes, kPatches);
}

TEST(ChooseBoxes, PrefersTheNoisiestMidToneOverNoisierShadows) {
    // Noise grows towards black: 0.1 is noisiest overall, 0.3 among the mid-tones.
    const LumaImage image = patchScene(kPatches, 51).withNoise(darkGrain, 52);
    const AutoBoxes boxes = chooseBoxes(image);
    ASSERT_TRUE(boxes.found);
    const Patch* primary = patchHolding(kPatches, boxes.primary.box);
    ASSERT_NE(primary, nullptr);
    EXPECT_EQ(primary->level, 0.3f);
    expectDistinctBandsInMatchingPatches(boxes, kPatches);
}

TEST(ChooseBoxes, WithoutMidTonesTakesTheNoisiestFlatArea) {
    const std::vector<Patch> extremes = {kPatches.front(), kPatches.back()};
    // Brighter is noisier here: 0.9 has 0.023, 0.1 has 0.007.
    const GrainCurve rising = [](float level) { return 0.005f + 0.02f * level; };
    const LumaImage image = patchScene(extremes, 61).withNoise(rising, 62);
    const AutoBoxes boxes = chooseBoxes(image);
    ASSERT_TRUE(boxes.found);
    const Patch* primary = patchHolding(extremes, boxes.primary.box);
    ASSERT_NE(primary, nullptr);
    EXPECT_EQ(primary->level, 0.9f);
    ASSERT_EQ(boxes.brightness.size(), 1u);
    expectDistinctBandsInMatchingPatches(boxes, extremes);
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

TEST(ChooseBoxes, TinyOrMalformedFramesFindNothingWithoutFailing) {
    for (const auto& [w, h] :
         std::vector<std::pair<int, int>>{{0, 0}, {1, 1}, {10, 10}, {31, 100}, {100, 31}}) {
        Scene scene(w, h);
        const LumaImage image = scene.withNoise([](float) { return 0.02f; }, 81);
        EXPECT_FALSE(chooseBoxes(image).found) << w << "x" << h;
        EXPECT_TRUE(rankCandidates(image, 32).empty()) << w << "x" << h;
    }
    LumaImage wrongSize{100, 100, std::vector<float>(50, 0.5f)};
    EXPECT_FALSE(chooseBoxes(wrongSize).found);
    EXPECT_TRUE(rankCandidates(wrongSize, 64).empty());
}

TEST(ChooseBoxes, ASmallNoisyFrameGetsOneBoxThatFits) {
    Scene scene(40, 40);
    const AutoBoxes boxes = chooseBoxes(scene.withNoise([](float) { return 0.02f; }, 91));
    ASSERT_TRUE(boxes.found);
    EXPECT_EQ(boxes.primary.box.width, 32);
    EXPECT_TRUE(insideFrame(boxes.primary.box, 40, 40));
    EXPECT_TRUE(boxes.brightness.empty());
}

TEST(ChooseBoxes, RefusesBoxesThatDoNotFit) {
    Scene scene(kWidth, kHeight);
    const LumaImage image = scene.withNoise([](float) { return 0.02f; }, 93);
    EXPECT_TRUE(rankCandidates(image, 16).empty());
    EXPECT_TRUE(rankCandidates(image, 1024).empty());
    for (const BoxCandidate& c : rankCandidates(image, 128)) {
        EXPECT_TRUE(insideFrame(c.box, kWidth, kHeight));
    }
}

// ---------------------------------------------------------------------------------------
// Correlated noise, as demosaicing, codecs and film grain make it.

TEST(CorrelatedNoise, IsMeasuredFromTheFrameAndFlatPatchesStillFound) {
    const LumaImage image = patchScene(kPatches, 101).withCorrelatedNoise(midToneGrain, 102);
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
    LumaImage image = scene.withCorrelatedNoise(grain, 112);
    const LumaImage second = scene.withCorrelatedNoise(grain, 113);
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

// ---------------------------------------------------------------------------------------
// Frames without a clearly flat area.

TEST(NoFlatArea, ClippedBlankAndTexturedFramesAreRefusedForWhatTheyAre) {
    Scene black(320, 240);
    black.paintFlat({0, 0, 320, 240}, 0.0f);
    const AutoBoxes clipped = chooseBoxes(black.withNoise([](float) { return 0.0f; }, 1));
    EXPECT_EQ(clipped.choice, BoxChoice::None);
    EXPECT_EQ(clipped.reason, NoAreaReason::Clipped);

    Scene grey(320, 240);
    const AutoBoxes blank = chooseBoxes(grey.withNoise([](float) { return 0.0f; }, 2));
    EXPECT_EQ(blank.reason, NoAreaReason::Blank);
    EXPECT_FALSE(blank.found);

    Scene textured(kWidth, kHeight);
    textured.fillWithTexture(5);
    const AutoBoxes busy = chooseBoxes(textured.withNoise(midToneGrain, 5));
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
    faint.fillWithGratings(121, 0.02f);
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
