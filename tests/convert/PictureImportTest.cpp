// The conversion road gives the same blocks whichever memory the pixels pass through: read where
// the platform decoded them, converted inside our own memory, or drawn into a surface first.
#include "convert/PictureImport.h"
#include "tests/support/FakePlatform.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>

namespace tesselbox {
namespace {

enum class Road { Drawn, WhereShown, InOurMemory };

class PictureRoadTest : public ::testing::Test {
protected:
    void SetUp() override {
        fake::Reset();
        ParseColorTable("1,0,0,0,0\n2,0,255,255,255\n3,0,255,0,0\n4,0,0,0,255\n", table_);
    }
    void TearDown() override {
        EXPECT_EQ(fake::CurrentScript().liveSurfaces, 0);
        EXPECT_EQ(fake::CurrentScript().livePictures, 0);
    }

    ConvertedPicture Make(Road road, const PictureRequest& request) {
        fake::CurrentScript().hidePixels = road == Road::Drawn;
        fake::CurrentScript().decodeInPlace = road == Road::InOurMemory;
        ConvertedPicture converted;
        const ImportOutcome outcome = MakeBlocks(LoadPicture("picture.png"), table_, request, converted);
        EXPECT_TRUE(outcome.ok()) << outcome.message;
        EXPECT_EQ(fake::CurrentScript().livePictures, 0);  // let go once read
        return converted;
    }

    ColorTable table_;
};

// Odd and even heights (the in-place road pairs the middle row with itself), opaque pictures and
// pictures with alpha, with and without a preview.
TEST_F(PictureRoadTest, EveryRoadGivesTheBlocksOfTheDrawnCopy) {
    struct Case {
        PictureSize size;
        bool opaque;
    };
    std::mt19937 random(9);
    for (const Case c : {Case{{301, 171}, false}, Case{{64, 300}, true}, Case{{5, 1}, false},
                         Case{{1, 4000}, true}, Case{{301, 170}, false}}) {
        fake::FakePicture picture{c.size.width, c.size.height, {}, c.opaque};
        for (std::uint32_t i = 0; i < c.size.width * c.size.height; ++i) {
            const Pixel p = random();  // an opaque picture's alpha bytes are read as 255
            picture.pixels.push_back(c.opaque             ? p
                                     : AlphaOf(p) >= 128 ? p | 0xFF000000u
                                                         : p & 0x00FFFFFFu);
        }
        fake::CurrentScript().pictures["picture.png"] = picture;
        const ConvertedPicture drawn = Make(Road::Drawn, {c.size, true, true});
        ASSERT_TRUE(drawn.source.HasPixels());
        for (const Road road : {Road::Drawn, Road::WhereShown, Road::InOurMemory}) {
            for (const bool withPreview : {true, false}) {
                SCOPED_TRACE(std::to_string(c.size.width) + " x " + std::to_string(c.size.height) +
                             ", road " + std::to_string(int(road)) + (withPreview ? ", preview" : ""));
                const ConvertedPicture made = Make(road, {c.size, false, withPreview});
                EXPECT_FALSE(made.source.HasPixels());  // not asked for
                EXPECT_EQ(made.working, c.size);
                EXPECT_EQ(made.display, FitToPanel(c.size));
                EXPECT_TRUE(made.grid == drawn.grid);
                ASSERT_EQ(made.preview.HasPixels(), withPreview);
                if (withPreview) {
                    EXPECT_TRUE(std::equal(made.preview.bits(),
                                           made.preview.bits() + made.preview.pixelCount(),
                                           drawn.preview.bits()));
                }
            }
        }
    }
}

TEST_F(PictureRoadTest, BottomLeftPixelComesFirst) {
    // Top row red, white; bottom row black, blue.
    fake::CurrentScript().pictures["picture.png"] = {
        2, 2, {0xFFFF0000u, 0xFFFFFFFFu, 0xFF000000u, 0xFF0000FFu}};
    const ConvertedPicture converted = Make(Road::WhereShown, {{2, 2}, false, true});
    EXPECT_TRUE(converted.grid == (BlockGrid{0, 3, 2, 1}));
    EXPECT_EQ(converted.preview.bits()[1], 0xFF0000FFu);
}

// A refused or failed picture leaves what the caller held as it was.
TEST_F(PictureRoadTest, FailuresLeaveTheCurrentPictureAsItWas) {
    fake::CurrentScript().pictures["picture.png"] = {1, 1, {0xFFFFFFFFu}};
    ConvertedPicture current = Make(Road::Drawn, {{1, 1}, true, true});
    ASSERT_TRUE(current.grid == BlockGrid{1});

    EXPECT_EQ(MakeBlocks(LoadPicture("picture.png"), table_, {{40000, 1}}, current).status,
              ImportStatus::TooLarge);
    EXPECT_EQ(MakeBlocks(LoadPicture("missing.png"), table_, {{1, 1}}, current).status,
              ImportStatus::Unreadable);
    fake::CurrentScript().failDrawing = true;
    EXPECT_EQ(MakeBlocks(LoadPicture("picture.png"), table_, {{1, 1}}, current).status,
              ImportStatus::Unreadable);
    EXPECT_TRUE(current.grid == BlockGrid{1});
    EXPECT_TRUE(current.source.HasPixels());
}

}  // namespace
}  // namespace tesselbox
