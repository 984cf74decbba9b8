#include "convert/ConvertToBlocks.h"
#include "palette/ColorMatch.h"
#include "tests/support/FakePlatform.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>

namespace tesselbox {
namespace {

class ConvertTest : public ::testing::Test {
protected:
    void SetUp() override { fake::Reset(); }
    void TearDown() override {
        source_.Release();
        preview_.Release();
        EXPECT_EQ(fake::CurrentScript().liveSurfaces, 0);
    }

    // Rows given top row first, as one reads them.
    void Load(std::uint32_t width, std::uint32_t height, const std::vector<Pixel>& topFirst) {
        ASSERT_TRUE(source_.Create(width, height));
        ASSERT_TRUE(preview_.Create(width, height));
        for (std::uint32_t y = 0; y < height; ++y)
            for (std::uint32_t x = 0; x < width; ++x) source_.At(x, y) = topFirst[y * width + x];
    }

    ColorTable table_ = [] {
        ColorTable t;
        t.count = 3;
        t.colors[0] = 0xFF000000;  // black
        t.colors[1] = 0xFFFFFFFF;  // white
        t.colors[2] = 0xFFFF0000;  // red
        return t;
    }();
    PixelSurface source_;
    PixelSurface preview_;
    BlockGrid grid_;
};

TEST_F(ConvertTest, AlphaThresholdIs230) {
    Load(3, 1, {0xE5FF0000, 0xE6FF0000, 0xFEFFFFFF});
    ASSERT_TRUE(ConvertToBlocks(table_, source_, preview_, grid_));
    EXPECT_EQ(grid_, (BlockGrid{NO_BLOCK, 2, 1}));
    EXPECT_EQ(preview_.At(0, 0), 0u);            // untouched: transparent black
    EXPECT_EQ(preview_.At(1, 0), 0xFFFF0000u);   // opaque even from alpha 230
    EXPECT_EQ(preview_.At(2, 0), 0xFFFFFFFFu);
}

TEST_F(ConvertTest, GridKeepsTheBottomRowFirst) {
    Load(2, 2, {0xFFFF0000, 0xFF000000,   // top row: opaque
                0x00FF0000, 0x10FFFFFF}); // bottom row: transparent
    ASSERT_TRUE(ConvertToBlocks(table_, source_, preview_, grid_));
    EXPECT_EQ(grid_, (BlockGrid{NO_BLOCK, NO_BLOCK, 2, 0}));
}

TEST_F(ConvertTest, ColorBytesOfPartlyOpaquePixelsAreMatchedAsTheyStand) {
    // A premultiplied pixel at alpha 240 keeps its darker color bytes for the matching.
    Load(1, 1, {0xF0700000});
    ASSERT_TRUE(ConvertToBlocks(table_, source_, preview_, grid_));
    EXPECT_EQ(grid_, (BlockGrid{0}));
}

TEST_F(ConvertTest, ZeroSizedPicturesGiveAnEmptyGrid) {
    for (auto [w, h] : {std::pair{300u, 0u}, std::pair{0u, 0u}}) {
        grid_ = {1, 2, 3};
        ASSERT_TRUE(source_.Create(w, h));
        ASSERT_TRUE(preview_.Create(w, h));
        EXPECT_TRUE(source_.IsCreated());
        EXPECT_FALSE(source_.HasPixels());
        ASSERT_TRUE(ConvertToBlocks(table_, source_, preview_, grid_));
        EXPECT_TRUE(grid_.empty());
    }
}

TEST_F(ConvertTest, MatchesThePlainScanOnABigNoisyPicture) {
    // Big enough for the two-thread path; every pixel is checked against the reference.
    ColorTable table;
    std::mt19937 random(7);
    table.count = 200;
    for (int i = 0; i < table.count; ++i) table.colors[static_cast<std::size_t>(i)] = random() | 0xFF000000u;
    const std::uint32_t w = 700, h = 500;
    std::vector<Pixel> pixels(std::size_t{w} * h);
    for (Pixel& p : pixels) p = random();
    Load(w, h, pixels);
    ASSERT_TRUE(ConvertToBlocks(table, source_, preview_, grid_));
    ASSERT_EQ(grid_.size(), std::size_t{w} * h);
    for (std::size_t i = 0; i < grid_.size(); ++i) {
        const Pixel p = source_.bits()[i];
        const std::int32_t expected = AlphaOf(p) < ALPHA_THRESHOLD ? NO_BLOCK : FindNearestColor(table, p);
        ASSERT_EQ(grid_[i], expected) << "pixel " << i;
        const Pixel shown = expected == NO_BLOCK ? 0 : table.colors[static_cast<std::size_t>(expected)];
        ASSERT_EQ(preview_.bits()[i], shown) << "pixel " << i;
    }
}

// A buffer kept top row first, read with a negative step, converts as the same picture drawn into
// a surface: one thread and two, rows narrower and wider than a run, one column.
TEST_F(ConvertTest, TopDownRowsConvertLikeTheDrawnSurface) {
    struct Size {
        std::uint32_t width, height;
    };
    std::mt19937 random(11);
    ColorTable table;
    table.count = 300;
    for (int i = 0; i < table.count; ++i) table.colors[static_cast<std::size_t>(i)] = random() | 0xFF000000u;
    for (const Size size : {Size{7, 5}, Size{300, 300}, Size{1, 9000}, Size{5000, 3}}) {
        SCOPED_TRACE(std::to_string(size.width) + " x " + std::to_string(size.height));
        std::vector<Pixel> topFirst(std::size_t{size.width} * size.height);
        for (Pixel& p : topFirst) p = random();
        Load(size.width, size.height, topFirst);
        ASSERT_TRUE(ConvertToBlocks(table, source_, preview_, grid_));

        PixelSurface preview;
        ASSERT_TRUE(preview.Create(size.width, size.height));
        BlockGrid grid;
        const SourceRows rows{topFirst.data() + std::size_t{size.height - 1} * size.width,
                              -std::ptrdiff_t{size.width}, size.width, size.height};
        ASSERT_TRUE(ConvertToBlocks(table, rows, preview, grid));
        EXPECT_TRUE(grid == grid_);
        EXPECT_TRUE(std::equal(preview.bits(), preview.bits() + topFirst.size(), preview_.bits()));
        source_.Release();
        preview_.Release();
    }
}

TEST_F(ConvertTest, WithoutAPreviewOnlyTheGridIsMade) {
    Load(2, 1, {0xFFFF0000, 0x00000000});
    preview_.Release();
    ASSERT_TRUE(ConvertToBlocks(table_, source_, preview_, grid_));
    EXPECT_EQ(grid_, (BlockGrid{2, NO_BLOCK}));
    EXPECT_FALSE(preview_.IsCreated());
}

TEST(PixelSurface, CreateGivesZeroedBottomUpPixels) {
    fake::Reset();
    PixelSurface surface;
    EXPECT_FALSE(surface.IsCreated());
    ASSERT_TRUE(surface.Create(3, 2));
    ASSERT_TRUE(surface.HasPixels());
    for (int i = 0; i < 6; ++i) EXPECT_EQ(surface.bits()[i], 0u);
    surface.At(0, 1) = 1;  // bottom-left
    surface.At(0, 0) = 2;  // top-left
    EXPECT_EQ(surface.bits()[0], 1u);
    EXPECT_EQ(surface.bits()[3], 2u);
    ASSERT_TRUE(surface.Create(3, 2));  // again: the first memory is freed, the new one is zero
    EXPECT_EQ(surface.bits()[0], 0u);
    EXPECT_EQ(fake::CurrentScript().liveSurfaces, 1);
    surface.Release();
    surface.Release();
    EXPECT_FALSE(surface.IsCreated());
    EXPECT_EQ(fake::CurrentScript().liveSurfaces, 0);
}

TEST(PixelSurface, RefusesSizesBeyondTheLimitsBeforeAllocating) {
    fake::Reset();
    PixelSurface surface;
    EXPECT_FALSE(surface.Create(32768, 1));
    EXPECT_FALSE(surface.Create(16385, 16384));
    EXPECT_FALSE(surface.IsCreated());
    EXPECT_EQ(fake::CurrentScript().liveSurfaces, 0);
}

}  // namespace
}  // namespace tesselbox
