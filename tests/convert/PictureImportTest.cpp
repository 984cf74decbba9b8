// A picture kept at its own size converts the same whether its decoded pixels are read where they
// lie or drawn into a surface first, as they are where the platform does not show them.
#include "convert/PictureImport.h"
#include "tests/support/FakePlatform.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>

namespace tesselbox {
namespace {

class ConvertAtOwnSizeTest : public ::testing::Test {
protected:
    void SetUp() override {
        fake::Reset();
        ParseColorTable("1,0,0,0,0\n2,0,255,255,255\n3,0,255,0,0\n4,0,0,0,255\n", table_);
    }
    void TearDown() override { EXPECT_EQ(fake::CurrentScript().liveSurfaces, 0); }

    ConvertedPicture Convert(bool pixelsShown, bool withPreview, PictureSize size) {
        fake::CurrentScript().hidePixels = !pixelsShown;
        const LoadedPicture loaded = LoadPicture("picture.png");
        EXPECT_EQ(loaded.status, ImportStatus::Ok);
        ConvertedPicture converted;
        const RenderOutcome outcome = ConvertAtOwnSize(*loaded.picture, size, FitToPanel(size),
                                                       table_, withPreview, converted);
        EXPECT_EQ(outcome.status, ImportStatus::Ok) << outcome.message;
        return converted;
    }

    ColorTable table_;
};

TEST_F(ConvertAtOwnSizeTest, ShownPixelsConvertLikeDrawnOnes) {
    const PictureSize size{301, 170};
    std::mt19937 random(5);
    fake::FakePicture picture{size.width, size.height, {}};
    for (std::uint32_t i = 0; i < size.width * size.height; ++i) {
        const Pixel p = random();
        picture.pixels.push_back(AlphaOf(p) < 128 ? p & 0x00FFFFFFu : p | 0xFF000000u);
    }
    fake::CurrentScript().pictures["picture.png"] = picture;
    for (const bool withPreview : {true, false}) {
        SCOPED_TRACE(withPreview ? "with a preview" : "grid alone");
        const ConvertedPicture shown = Convert(true, withPreview, size);
        const ConvertedPicture drawn = Convert(false, withPreview, size);
        EXPECT_FALSE(shown.source.IsCreated());  // nothing drawn
        EXPECT_TRUE(drawn.source.IsCreated());
        EXPECT_EQ(shown.working, size);
        EXPECT_EQ(shown.display, FitToPanel(size));
        EXPECT_TRUE(shown.grid == drawn.grid);
        ASSERT_EQ(shown.preview.HasPixels(), withPreview);
        ASSERT_EQ(drawn.preview.HasPixels(), withPreview);
        if (withPreview) {
            EXPECT_TRUE(std::equal(shown.preview.bits(),
                                   shown.preview.bits() + shown.preview.pixelCount(),
                                   drawn.preview.bits()));
        }
    }
}

// Decoded into the grid's own memory and converted there, a picture gives what drawing it does:
// odd and even heights (the middle row pairs with itself), opaque or with alpha.
TEST_F(ConvertAtOwnSizeTest, PicturesDecodedIntoTheGridConvertLikeDrawnOnes) {
    struct Case {
        PictureSize size;
        bool opaque;
    };
    std::mt19937 random(9);
    for (const Case c : {Case{{301, 171}, false}, Case{{64, 300}, true}, Case{{5, 1}, false},
                         Case{{1, 4000}, true}}) {
        SCOPED_TRACE(std::to_string(c.size.width) + " x " + std::to_string(c.size.height));
        fake::FakePicture picture{c.size.width, c.size.height, {}, c.opaque};
        for (std::uint32_t i = 0; i < c.size.width * c.size.height; ++i) {
            const Pixel p = random();  // an opaque picture's alpha bytes are read as 255
            picture.pixels.push_back(c.opaque             ? p
                                     : AlphaOf(p) >= 128 ? p | 0xFF000000u
                                                         : p & 0x00FFFFFFu);
        }
        fake::CurrentScript().pictures["picture.png"] = picture;
        const ConvertedPicture drawn = Convert(false, true, c.size);

        fake::CurrentScript().hidePixels = false;
        fake::CurrentScript().decodeInPlace = true;
        BlockGrid pixelsInGrid;
        LoadedPicture loaded = LoadPictureInto("picture.png", pixelsInGrid);
        ASSERT_EQ(loaded.status, ImportStatus::Ok);
        ASSERT_TRUE(loaded.inGrid);
        ConvertedPicture converted;
        const RenderOutcome outcome = ConvertInGrid(loaded, pixelsInGrid, table_, true, converted);
        ASSERT_EQ(outcome.status, ImportStatus::Ok) << outcome.message;
        EXPECT_FALSE(loaded.picture);
        EXPECT_EQ(converted.working, c.size);
        EXPECT_TRUE(converted.grid == drawn.grid);
        EXPECT_TRUE(std::equal(converted.preview.bits(),
                               converted.preview.bits() + converted.preview.pixelCount(),
                               drawn.preview.bits()));
        fake::CurrentScript().decodeInPlace = false;
    }
}

// Where the platform decodes elsewhere, the grid is left empty and the picture converts as usual.
TEST_F(ConvertAtOwnSizeTest, PicturesDecodedElsewhereLeaveTheGridEmpty) {
    fake::CurrentScript().pictures["picture.png"] = {2, 1, {0xFFFF0000u, 0xFF0000FFu}};
    BlockGrid pixelsInGrid(7, 1);
    const LoadedPicture loaded = LoadPictureInto("picture.png", pixelsInGrid);
    ASSERT_EQ(loaded.status, ImportStatus::Ok);
    EXPECT_FALSE(loaded.inGrid);
    EXPECT_TRUE(pixelsInGrid.empty());
    ConvertedPicture converted;
    ASSERT_EQ(ConvertAtOwnSize(*loaded.picture, {2, 1}, {2, 1}, table_, false, converted).status,
              ImportStatus::Ok);
    EXPECT_TRUE(converted.grid == (BlockGrid{2, 3}));
}

TEST_F(ConvertAtOwnSizeTest, BottomLeftPixelComesFirst) {
    // Top row red, white; bottom row black, blue.
    fake::CurrentScript().pictures["picture.png"] = {
        2, 2, {0xFFFF0000u, 0xFFFFFFFFu, 0xFF000000u, 0xFF0000FFu}};
    const ConvertedPicture converted = Convert(true, true, {2, 2});
    EXPECT_TRUE(converted.grid == (BlockGrid{0, 3, 2, 1}));
    EXPECT_EQ(converted.preview.bits()[1], 0xFF0000FFu);
}

TEST_F(ConvertAtOwnSizeTest, SizesBeyondTheLimitsAreRefused) {
    fake::CurrentScript().pictures["picture.png"] = {1, 1, {0xFFFFFFFFu}};
    const LoadedPicture loaded = LoadPicture("picture.png");
    ConvertedPicture converted;
    const RenderOutcome outcome = ConvertAtOwnSize(*loaded.picture, {40000, 1}, {300, 1}, table_,
                                                   false, converted);
    EXPECT_EQ(outcome.status, ImportStatus::TooLarge);
    EXPECT_TRUE(converted.grid.empty());
}

}  // namespace
}  // namespace tesselbox
