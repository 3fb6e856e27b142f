// Alignment of a neighbouring frame ("Track Movement") through the plug-in's own code on a
// real context of our host. Expected values come from how the test content was made: a
// neighbour built as the current frame shifted by a known amount, and uniform flow fields
// whose fetch positions land on texel centres and can be followed by hand.
#include <GL/glew.h>
#include <gtest/gtest.h>

#include <cmath>
#include <optional>
#include <vector>

#include "gl/host_image.h"
#include "render/frame_alignment.h"
#include "render/frame_pyramid.h"
#include "tests/plugin_gl_fixture.h"

namespace {

constexpr int kWidth = 256;
constexpr int kHeight = 128;
constexpr int kLevel = 3;  // measuring level: 32 x 16 pixels

// Smooth luma with structure in both directions, coarse enough to survive 1/8 resolution.
float smoothLuma(double x, double y) {
    return float(0.5 + 0.15 * std::sin(x * 0.09 + 0.3) * std::cos(y * 0.07) +
                 0.1 * std::sin((x + 2.0 * y) * 0.05 + 1.0) +
                 0.05 * std::cos(x * 0.031 - y * 0.11));
}

// Y'UV texels (U, V flat), alpha 1, rows bottom up, the content displaced right by `dx`.
std::vector<float> lumaFrame(double dx) {
    std::vector<float> rgba;
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x)
            rgba.insert(rgba.end(), {smoothLuma(x - dx, y), 0.0f, 0.0f, 1.0f});
    }
    return rgba;
}

// Each column its own value, so a clamped fetch and a mirrored one read different columns.
std::vector<float> columnCodedFrame(int width, int height) {
    std::vector<float> rgba;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const float v = float(x) / float(width);
            rgba.insert(rgba.end(), {v, 1.0f - v, 0.25f + 0.5f * float(y) / float(height), 1.0f});
        }
    }
    return rgba;
}

Plugin::TextureDataV4 uniformField(int width, int height, float backwardX, float backwardY) {
    Plugin::TextureDataV4 field(width, height);
    for (int i = 0; i < width * height; ++i)
        field.data[i].z = backwardX, field.data[i].w = backwardY;
    return field;
}

// Root mean square difference of channel 0 over columns [x0, x1) and rows [y0, y1).
double rmsLuma(const std::vector<float>& a, const std::vector<float>& b, int x0, int x1, int y0,
               int y1) {
    double sum = 0;
    for (int y = y0; y < y1; ++y) {
        for (int x = x0; x < x1; ++x) {
            const size_t i = 4 * (size_t(y) * kWidth + size_t(x));
            sum += (double(a[i]) - b[i]) * (double(a[i]) - b[i]);
        }
    }
    return std::sqrt(sum / double((x1 - x0) * (y1 - y0)));
}

class FrameAlignment : public test::PluginGlTest {
protected:
    void SetUp() override {
        PluginGlTest::SetUp();
        startHost(kWidth, kHeight);
    }
    // A frame of the render window: half float with a mip chain, as the render makes them.
    Plugin::FramePyramid makeFrame(int width, int height, const std::vector<float>& rgba) {
        Plugin::FramePyramid frame{Plugin::makeImageLike(call(), width, height, true, 1)};
        EXPECT_TRUE(images().upload(frame.image.texture, 0, width, height, rgba.data()));
        frames_.push_back(frame.image);
        return frame;
    }
    void TearDown() override {
        for (const HostImage& image : frames_) release(image);
        PluginGlTest::TearDown();
    }

private:
    std::vector<HostImage> frames_;
};

// Shifted right by 8 pixels, the neighbour is measured one level-3 pixel to the left in the
// backward channels (and one to the right in the forward ones), and warped back into place.
TEST_F(FrameAlignment, EightPixelShiftIsMeasuredAndUndone) {
    const std::vector<float> current = lumaFrame(0.0);
    const std::vector<float> shifted = lumaFrame(8.0);
    const Plugin::FramePyramid reference = makeFrame(kWidth, kHeight, current);
    Plugin::FramePyramid neighbour = makeFrame(kWidth, kHeight, shifted);

    const std::optional<Plugin::TextureDataV4> field =
        measureFrameMotion(call(), reference, neighbour, kLevel);
    ASSERT_TRUE(field.has_value());
    ASSERT_EQ(field->width, kWidth >> kLevel);
    ASSERT_EQ(field->height, kHeight >> kLevel);
    // Interior only: the flow is damped towards the border, where half a window lacks data.
    for (int y = 4; y < field->height - 4; ++y) {
        for (int x = 6; x < field->width - 6; ++x) {
            const auto& f = field->at(x, y);
            EXPECT_NEAR(f.z, -1.0f, 0.15f) << x << "," << y;
            EXPECT_NEAR(f.w, 0.0f, 0.15f) << x << "," << y;
            EXPECT_NEAR(f.x, 1.0f, 0.15f) << x << "," << y;
        }
    }
    warpFrame(call(), neighbour, *field);
    const std::vector<float> aligned = read(neighbour.image);
    // Interior away from the right strip that had no source: a 0.15 level-3 pixel error is
    // 1.2 pixels, on a slope below 0.03 per pixel.
    const double before = rmsLuma(shifted, current, 32, kWidth - 32, 16, kHeight - 16);
    const double after = rmsLuma(aligned, current, 32, kWidth - 32, 16, kHeight - 16);
    EXPECT_LT(after, 0.01);
    EXPECT_LT(after, before / 5) << "before " << before << ", after " << after;
    expectHostBindings();
}

TEST_F(FrameAlignment, IdenticalFramesHaveNoMotionAndStayAsTheyWere) {
    const std::vector<float> current = lumaFrame(0.0);
    const Plugin::FramePyramid reference = makeFrame(kWidth, kHeight, current);
    Plugin::FramePyramid neighbour = makeFrame(kWidth, kHeight, current);
    const auto field = measureFrameMotion(call(), reference, neighbour, kLevel);
    ASSERT_TRUE(field.has_value());
    const std::vector<float> zero(size_t(4 * field->width * field->height), 0.0f);
    const auto* values = reinterpret_cast<const float*>(field->data.get());
    EXPECT_EQ(std::vector<float>(values, values + zero.size()), zero);
    alignFrame(call(), reference, neighbour, kLevel);
    const std::vector<float> after = read(neighbour.image);
    // Half floats of values near 0.5 are spaced 2^-11; the warp fetches at texel centres.
    for (size_t i = 0; i < after.size(); ++i) ASSERT_NEAR(after[i], current[i], 1e-3) << i;
    expectHostBindings();
}

// A uniform backward flow of -4 (or +4) level-3 pixels fetches 32 pixels to the right (or
// left): near the edge that fetch leaves the picture and must come back mirrored, column
// c reading column 2W - c - 33 (or 31 - c), never a repeated border column.
TEST_F(FrameAlignment, FetchesOutsideThePictureAreMirrored) {
    const int fieldWidth = kWidth >> kLevel;
    const int fieldHeight = kHeight >> kLevel;
    const std::vector<float> content = columnCodedFrame(kWidth, kHeight);
    for (const float backwardX : {-4.0f, 4.0f}) {
        Plugin::FramePyramid frame = makeFrame(kWidth, kHeight, content);
        warpFrame(call(), frame, uniformField(fieldWidth, fieldHeight, backwardX, 0.0f));
        const std::vector<float> warped = read(frame.image);
        const int shift = -int(backwardX) * 8;
        for (int x = 0; x < kWidth; ++x) {
            int source = x + shift;
            if (source >= kWidth) source = 2 * kWidth - source - 1;
            if (source < 0) source = -source - 1;
            const size_t i = 4 * (size_t(kHeight / 2) * kWidth + size_t(x));
            ASSERT_NEAR(warped[i], content[4 * (size_t(kHeight / 2) * kWidth + source)], 2e-3)
                << "column " << x << " with backward flow " << backwardX;
        }
    }
    expectHostBindings();
}

// Measured at full resolution, the frame's mip chain is left as it was: level 1 keeps a
// value no rebuild from level 0 could give.
TEST_F(FrameAlignment, LevelZeroRebuildsNoMipChain) {
    const int width = 32;
    const int height = 16;
    const std::vector<float> content = columnCodedFrame(width, height);
    const Plugin::FramePyramid reference = makeFrame(width, height, content);
    Plugin::FramePyramid neighbour = makeFrame(width, height, content);
    const std::vector<float> marker(size_t(4 * (width / 2) * (height / 2)), 7.0f);
    for (const HostImage& image : {reference.image, neighbour.image}) {
        ASSERT_TRUE(images().upload(image.texture, 1, width / 2, height / 2, marker.data()));
    }
    alignFrame(call(), reference, neighbour, 0);
    for (const HostImage& image : {reference.image, neighbour.image}) {
        const std::vector<float> level1 = read(image, 1, width / 2, height / 2);
        for (float v : level1) ASSERT_EQ(v, 7.0f);
    }
    expectHostBindings();
}

}  // namespace
