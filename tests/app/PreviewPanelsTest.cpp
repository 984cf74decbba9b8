#include "app/PreviewPanels.h"
#include "tests/support/FakePlatform.h"
#include "tests/support/FakeWindowServices.h"

#include <gtest/gtest.h>

namespace tesselbox {
namespace {

constexpr Pixel WHITE = 0xFFFFFFFF;
constexpr Pixel BLACK = 0xFF000000;

void ExpectFrameAndWhiteOutside(const fake::Canvas& canvas, int pictureWidth,
                                int pictureHeight) {
    for (int y = 0; y < 300; ++y) {
        for (int x = 0; x < 300; ++x) {
            const bool frame = x == 0 || y == 0 || x == 299 || y == 299;
            if (frame) {
                ASSERT_EQ(canvas.At(x, y), BLACK) << x << "," << y;
            } else if (x >= pictureWidth || y >= pictureHeight) {
                ASSERT_EQ(canvas.At(x, y), WHITE) << x << "," << y;
            }
        }
    }
}

TEST(PreviewPanels, EmptySurfaceShowsWhiteWithAFrame) {
    fake::Reset();
    PixelSurface empty;
    fake::Canvas canvas;
    DrawPanel(canvas, {empty, 0, 0});
    ExpectFrameAndWhiteOutside(canvas, 0, 0);
}

TEST(PreviewPanels, SmallPictureIsDrawnOneToOneAtTheTopLeft) {
    fake::Reset();
    PixelSurface surface;
    ASSERT_TRUE(surface.Create(120, 80));
    for (std::uint32_t y = 0; y < 80; ++y)
        for (std::uint32_t x = 0; x < 120; ++x) surface.At(x, y) = 0xFF000000u | (x << 16) | (y << 8);
    surface.At(5, 5) = 0;  // transparent black shows the white ground
    fake::Canvas canvas;
    DrawPanel(canvas, {surface, 120, 80});
    ExpectFrameAndWhiteOutside(canvas, 120, 80);
    EXPECT_EQ(canvas.At(119, 79), 0xFF000000u | (119u << 16) | (79u << 8));
    EXPECT_EQ(canvas.At(1, 1), 0xFF000000u | (1u << 16) | (1u << 8));
    EXPECT_EQ(canvas.At(5, 5), WHITE);
}

TEST(PreviewPanels, ZeroDisplaySideDrawsNoPicture) {
    fake::Reset();
    PixelSurface surface;
    ASSERT_TRUE(surface.Create(1000, 3));
    for (std::uint32_t i = 0; i < 3000; ++i) surface.bits()[i] = 0xFFFF0000;
    fake::Canvas canvas;
    DrawPanel(canvas, {surface, 300, 0});
    ExpectFrameAndWhiteOutside(canvas, 0, 0);
}

}  // namespace
}  // namespace tesselbox
