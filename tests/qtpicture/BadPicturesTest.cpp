// Every file of tests/data/bad/pictures, one defect each, through the real Qt decoder and the core's
// import: the decoded size or the failure, and what the conversion road leaves at the size the panel
// shows (the user shrinks) and at the full size (the user does not).
#include "convert/FitToPanel.h"
#include "convert/Limits.h"
#include "convert/PictureImport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <optional>
#include <set>
#include <string>

namespace tesselbox {
namespace {

namespace fs = std::filesystem;

const fs::path BAD_PICTURES = fs::path(TESSELBOX_TEST_DATA) / "bad" / "pictures";

// The table's entries, by the colors the test pictures use.
constexpr std::int32_t RED = 0, BLUE = 1, WHITE = 2, BLACK = 3;

ColorTable TestTable() {
    ColorTable table;
    ParseColorTable("35,14,255,0,0\n35,11,0,0,255\n35,0,255,255,255\n35,15,0,0,0\n", table);
    return table;
}

// After the road: the whole grid (bottom picture row first), or only its two left corners.
struct Rendered {
    PictureSize working;
    BlockGrid grid;
    std::optional<std::int32_t> topLeft = std::nullopt;
    std::optional<std::int32_t> bottomLeft = std::nullopt;
};

struct Expected {
    ImportStatus status;
    PictureSize size;  // decoded, or as announced when too large; 0 x 0 when unreadable
    std::optional<Rendered> shrunk = std::nullopt;  // at FitToPanel(size)
    std::optional<Rendered> full = std::nullopt;    // at size
    const char* messageNames = "";  // a part of the message, when it must name something
};

BlockGrid Cells(std::size_t count, std::int32_t block) { return BlockGrid(count, block); }

const std::map<std::string, Expected>& Expectations() {
    static const std::map<std::string, Expected> expected = {
        {"zero-bytes.png", {ImportStatus::Unreadable, {0, 0}}},
        {"text-file-named-png.png", {ImportStatus::Unreadable, {0, 0}}},
        {"truncated-png-cut-inside-pixel-data.png",
         {ImportStatus::Unreadable, {0, 0}, {}, {}, "a PNG chunk claims"}},
        // What was read stands (red at the top); libjpeg fills the rest with gray, here white.
        {"truncated-jpeg-cut-inside-scan-data.jpg",
         {ImportStatus::Ok, {32, 32}, Rendered{{32, 32}, {}, RED, WHITE},
          Rendered{{32, 32}, {}, RED, WHITE}}},
        {"png-header-claims-100000x100000.png",
         {ImportStatus::TooLarge, {100000, 100000}, {}, {}, "100000 x 100000"}},
        {"png-header-claims-16385x16384.png",
         {ImportStatus::TooLarge, {16385, 16384}, {}, {}, "16385 x 16384"}},
        // Qt's BMP reader refuses more than 16384 x 16384 itself, before the size reaches us.
        {"bmp-header-claims-100000x100000.bmp", {ImportStatus::Unreadable, {0, 0}}},
        // Without the check it would allocate 771 MB before finding the file too short.
        {"png-text-chunk-claims-771-megabytes.png",
         {ImportStatus::Unreadable, {0, 0}, {}, {}, "claims 771751973 bytes"}},
        {"png-pixel-data-crc-mismatch.png", {ImportStatus::Unreadable, {0, 0}, {}, {}, "cannot be read: IDAT: invalid code lengths set"}},
        {"bmp-zero-height.bmp", {ImportStatus::Unreadable, {0, 0}}},
        {"bmp-rle8-4x4.bmp",
         {ImportStatus::Ok, {4, 4}, Rendered{{4, 4}, {BLUE, BLUE, BLUE, BLUE, BLUE, BLUE, BLUE, BLUE,
                                                      RED, RED, RED, RED, RED, RED, RED, RED}},
          Rendered{{4, 4}, {BLUE, BLUE, BLUE, BLUE, BLUE, BLUE, BLUE, BLUE, RED, RED, RED, RED, RED, RED, RED, RED}}}},
        // Without the check its two missing rows came from whatever the decoder's buffer held.
        {"bmp-rle8-cut-in-half.bmp", {ImportStatus::Unreadable, {0, 0}, {}, {}, "run-length coded pixels end"}},
        {"bmp-height-minus-2147483648.bmp", {ImportStatus::Unreadable, {0, 0}}},
        {"bmp-header-claims-2000000000x2000000000.bmp", {ImportStatus::Unreadable, {0, 0}, {}, {}, "its pixels end"}},
        // A negative height is a picture stored top row first: red on top, blue below.
        {"bmp-negative-height-top-down-2x2.bmp",
         {ImportStatus::Ok, {2, 2}, Rendered{{2, 2}, {BLUE, BLUE, RED, RED}},
          Rendered{{2, 2}, {BLUE, BLUE, RED, RED}}}},
        // Rows red, blue, white over black, red, blue; only the first frame of an animation.
        {"gif-3x2-not-a-listed-format.gif",
         {ImportStatus::Ok, {3, 2}, Rendered{{3, 2}, {BLACK, RED, BLUE, RED, BLUE, WHITE}},
          Rendered{{3, 2}, {BLACK, RED, BLUE, RED, BLUE, WHITE}}}},
        {"gif-animated-2x2-two-frames.gif",
         {ImportStatus::Ok, {2, 2}, Rendered{{2, 2}, Cells(4, RED)}, Rendered{{2, 2}, Cells(4, RED)}}},
        {"png-1x1-one-pixel.png",
         {ImportStatus::Ok, {1, 1}, Rendered{{1, 1}, {RED}}, Rendered{{1, 1}, {RED}}}},
        // Fitting rounds the narrow side down to 0: the shrunk picture has no pixels at all.
        {"png-1x10000-one-column.png",
         {ImportStatus::Ok, {1, 10000}, Rendered{{0, 300}, {}}, Rendered{{1, 10000}, Cells(10000, RED)}}},
        {"png-10000x1-one-row.png",
         {ImportStatus::Ok, {10000, 1}, Rendered{{300, 0}, {}}, Rendered{{10000, 1}, Cells(10000, RED)}}},
    };
    return expected;
}

TEST(BadPictures, EachFileHasAnExpectationAndEachExpectationAFile) {
    std::set<std::string> files;
    for (const auto& entry : fs::directory_iterator(BAD_PICTURES)) {
        files.insert(entry.path().filename().string());
    }
    std::set<std::string> expected;
    for (const auto& [name, outcome] : Expectations()) expected.insert(name);
    EXPECT_EQ(files, expected);
}

void ExpectRendered(const fs::path& path, PictureSize working, PictureSize display,
                    const Rendered& expected) {
    static const ColorTable table = TestTable();
    ConvertedPicture out;
    const ImportOutcome outcome = MakeBlocks(LoadPicture(path), table, {working}, out);
    ASSERT_EQ(outcome.status, ImportStatus::Ok) << outcome.message;
    EXPECT_EQ(out.working, expected.working);
    EXPECT_EQ(out.display, display);
    const std::uint64_t pixels = std::uint64_t{working.width} * working.height;
    EXPECT_TRUE(out.source.IsCreated());
    EXPECT_EQ(out.source.HasPixels(), pixels > 0);
    ASSERT_EQ(out.grid.size(), pixels);
    if (!expected.grid.empty()) {
        EXPECT_EQ(out.grid, expected.grid);
    }
    if (expected.topLeft) {
        EXPECT_EQ(out.grid[std::size_t{working.height - 1} * working.width], *expected.topLeft);
    }
    if (expected.bottomLeft) {
        EXPECT_EQ(out.grid[0], *expected.bottomLeft);
    }
}

TEST(BadPictures, ImportAsExpected) {
    platform::StartPictureServices();  // as the window and the command line do
    for (const auto& [name, expected] : Expectations()) {
        SCOPED_TRACE(name);
        const LoadedPicture loaded = LoadPicture(BAD_PICTURES / name);
        const ImportOutcome& outcome = loaded.outcome();
        EXPECT_EQ(outcome.status, expected.status) << outcome.message;
        if (outcome.status != expected.status) continue;
        EXPECT_EQ(loaded.size(), expected.size);
        EXPECT_EQ(outcome.message.empty(), outcome.ok()) << outcome.message;
        EXPECT_NE(outcome.message.find(expected.messageNames), std::string::npos) << outcome.message;
        if (!outcome.ok()) continue;
        const PictureSize display = FitToPanel(loaded.size());
        ASSERT_TRUE(expected.shrunk && expected.full);
        ExpectRendered(BAD_PICTURES / name, display, display, *expected.shrunk);
        ExpectRendered(BAD_PICTURES / name, loaded.size(), display, *expected.full);
    }
    platform::StopPictureServices();
}

// A failed render leaves the picture the program already holds as it was.
TEST(BadPictures, FailedRenderKeepsThePreviousPicture) {
    const fs::path one = BAD_PICTURES / "png-1x1-one-pixel.png";
    const ColorTable table = TestTable();
    ConvertedPicture held;
    ASSERT_EQ(MakeBlocks(LoadPicture(one), table, {{1, 1}}, held).status, ImportStatus::Ok);
    const Pixel* heldPixels = held.source.bits();

    const ImportOutcome refused = MakeBlocks(LoadPicture(one), table, {{MAX_PICTURE_SIDE + 1, 1}}, held);
    EXPECT_EQ(refused.status, ImportStatus::TooLarge);
    EXPECT_NE(refused.message.find(std::to_string(MAX_PICTURE_SIDE + 1)), std::string::npos);
    EXPECT_EQ(held.working, (PictureSize{1, 1}));
    EXPECT_EQ(held.source.bits(), heldPixels);
    EXPECT_EQ(held.grid, BlockGrid{RED});
}

}  // namespace
}  // namespace tesselbox
