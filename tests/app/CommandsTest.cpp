#include "app/Commands.h"
#include "app/ConversionMenu.h"
#include "app/Texts.h"
#include "app/WindowLayout.h"
#include "convert/Dither.h"
#include "convert/Limits.h"
#include "tests/support/BlockFileReading.h"
#include "tests/support/FakePlatform.h"
#include "tests/support/FakeWindowServices.h"
#include "tests/support/TempFolder.h"

#include <gtest/gtest.h>

#include <fstream>

#ifndef _WIN32
#include <sys/stat.h>
#include <sys/sysmacros.h>
#endif

namespace tesselbox {
namespace {

namespace fs = std::filesystem;
using platform::Answer;
using platform::MessageKind;

class CommandsTest : public ::testing::Test {
protected:
    void SetUp() override {
        fake::Reset();
        testing::WriteBytes(folder_ / "Colors.txt", "35,14,255,0,0,Red Wool\n1,0,0,0,255,Blue\n");
        state_.colorTablePath = folder_ / "Colors.txt";
        ASSERT_TRUE(OnCreate(state_));
        services_.messages.clear();
    }
    void TearDown() override {
        OnDestroy(state_);
        EXPECT_EQ(script().liveSurfaces, 0);
        EXPECT_EQ(script().livePictures, 0);
        EXPECT_EQ(script().servicesRunning, 0);
    }

    static fake::Script& script() { return fake::CurrentScript(); }

    // Queues a picture and the answers for one import, then runs the command.
    void Import(const fake::FakePicture& picture, std::optional<Answer> shrink = std::nullopt) {
        const fs::path path = folder_ / ("picture" + std::to_string(++imports_) + ".png");
        script().pictures[path] = picture;
        services_.dialogAnswers.push_back({path, 1});
        if (shrink) services_.messageAnswers.push_back(*shrink);
        DispatchCommand(state_, 0, layout::IDC_CHOOSE_PICTURE);
    }

    std::optional<std::string> Generate(const fs::path& path) {
        services_.dialogAnswers.push_back({path, 1});
        DispatchCommand(state_, 0, layout::IDC_GENERATE);
        if (!fs::is_regular_file(path)) return std::nullopt;
        return testing::ReadBytes(path);
    }

    std::vector<std::string> MessageTexts() const { return services_.MessageTexts(); }

    testing::TempFolder folder_;
    fake::WindowServices services_;
    AppState state_{services_};
    int imports_ = 0;
};

struct SizeCase {
    PictureSize picture;
    bool asks;
    PictureSize display;
    PictureSize workingAfterYes;
};

// The fitting rule itself is tested with FitToPanel; here, what the command does with its answer.
TEST_F(CommandsTest, ImportSetsWorkingAndDisplaySizes) {
    const SizeCase cases[] = {
        {{300, 300}, false, {300, 300}, {300, 300}},
        {{120, 80}, false, {120, 80}, {120, 80}},
        {{600, 400}, true, {300, 200}, {300, 200}},
        {{1000, 3}, true, {300, 0}, {300, 0}},
    };
    for (const SizeCase& c : cases) {
        for (Answer answer : {Answer::Yes, Answer::No}) {
            SCOPED_TRACE(std::to_string(c.picture.width) + " x " + std::to_string(c.picture.height) +
                         (answer == Answer::Yes ? " Yes" : " No"));
            services_.messages.clear();
            services_.invalidated.clear();
            Import(fake::SolidPicture(c.picture.width, c.picture.height, 0xFFFF0000), answer);
            const PictureSize working = answer == Answer::Yes ? c.workingAfterYes : c.picture;
            const ConvertedPicture& p = state_.picture;
            EXPECT_EQ(MessageTexts(), c.asks ? std::vector<std::string>{texts::ASK_SHRINK}
                                             : std::vector<std::string>{});
            EXPECT_EQ(p.display, c.display);
            EXPECT_EQ(p.working, working);
            EXPECT_EQ(p.source.width(), working.width);
            EXPECT_EQ(p.preview.height(), working.height);
            EXPECT_EQ(p.grid.size(), std::size_t{working.width} * working.height);
            if (!p.grid.empty()) {
                EXPECT_EQ(p.grid.front(), 0);  // red wool
            }
            EXPECT_EQ(services_.invalidated,
                      (std::vector<int>{layout::IDC_SOURCE_PANEL, layout::IDC_PREVIEW_PANEL}));
            services_.messageAnswers.clear();
        }
    }
}

// Drawing and converting a picture of 2048 x 2048 pixels or more runs while the window shows
// itself busy; a shrunk one is quick.
TEST_F(CommandsTest, LargePicturesAreMadeWhileTheWindowShowsItselfBusy) {
    for (const Answer answer : {Answer::Yes, Answer::No}) {
        services_.busyRuns = 0;
        Import(fake::SolidPicture(2048, 2048, 0xFFFF0000), answer);
        EXPECT_EQ(services_.busyRuns, answer == Answer::No ? 1 : 0);
        EXPECT_EQ(state_.picture.working.width, answer == Answer::No ? 2048u : 300u);
        services_.messageAnswers.clear();
    }
}

TEST_F(CommandsTest, FailedImportsReportAndKeepTheCurrentPicture) {
    Import(fake::SolidPicture(2, 2, 0xFF0000FF));
    const BlockGrid before = state_.picture.grid;
    ASSERT_EQ(before, (BlockGrid{1, 1, 1, 1}));

    struct Case {
        const char* name;
        std::function<void()> run;
        std::vector<std::string> messages;
    };
    const Case cases[] = {
        {"cancelled dialog", [&] { DispatchCommand(state_, 0, layout::IDC_CHOOSE_PICTURE); }, {}},
        {"undecodable file",
         [&] {
             services_.dialogAnswers.push_back({folder_ / "not-a-picture.png", 1});
             DispatchCommand(state_, 0, layout::IDC_CHOOSE_PICTURE);
         },
         {texts::READ_PICTURE_FAILED}},
        {"drawing fails",
         [&] {
             script().failDrawing = true;
             Import(fake::SolidPicture(5, 5, 0xFF000000));
             script().failDrawing = false;
         },
         {texts::READ_PICTURE_FAILED}},
        {"kept at a side NBT cannot hold",
         [&] { Import(fake::SolidPicture(40000, 2, 0xFF000000), Answer::No); },
         {texts::ASK_SHRINK, texts::PICTURE_TOO_LARGE}},
        {"more pixels than the decoder may allocate",
         [&] {
             fake::FakePicture huge{20000, 20000, {}};  // refused before its pixels are needed
             Import(huge);
         },
         {texts::PICTURE_TOO_LARGE}},
    };
    for (const Case& c : cases) {
        services_.messages.clear();
        services_.invalidated.clear();
        c.run();
        EXPECT_EQ(MessageTexts(), c.messages) << c.name;
        for (const auto& [text, kind] : services_.messages) {
            if (text != texts::ASK_SHRINK) {
                EXPECT_EQ(kind, MessageKind::Error) << c.name;
            }
        }
        EXPECT_TRUE(services_.invalidated.empty()) << c.name;
        EXPECT_EQ(state_.picture.working, (PictureSize{2, 2})) << c.name;
        EXPECT_EQ(state_.picture.display, (PictureSize{2, 2})) << c.name;
        EXPECT_EQ(state_.picture.grid, before) << c.name;
        EXPECT_EQ(state_.picture.preview.At(0, 0), 0xFF0000FFu) << c.name;
    }
    EXPECT_EQ(script().lastDecodeLimit, MAX_PICTURE_PIXELS);
}

TEST_F(CommandsTest, SecondImportReplacesEverything) {
    Import(fake::SolidPicture(2, 1, 0xFF0000FF));
    fake::FakePicture half = fake::SolidPicture(2, 1, 0xFFFF0000);
    half.pixels[1] = 0;  // right pixel transparent now
    Import(half);
    EXPECT_EQ(state_.picture.grid, (BlockGrid{0, NO_BLOCK}));
    EXPECT_EQ(state_.picture.preview.At(1, 0), 0u);
}

TEST_F(CommandsTest, DialogsShowTheirFiltersAndCarryTheFilterIndexOver) {
    Import(fake::SolidPicture(1, 1, 0xFF000000));                   // ends on filter 1
    services_.dialogAnswers.push_back({folder_ / "picture1.png", 2});  // ends on "all files"
    DispatchCommand(state_, 0, layout::IDC_CHOOSE_PICTURE);
    DispatchCommand(state_, 0, layout::IDC_CHOOSE_PICTURE);          // cancelled: nothing written back
    ASSERT_TRUE(Generate(folder_ / "a.schematic"));                  // starts and ends on 1
    services_.dialogAnswers.push_back({folder_ / "b.mcstructure", 5});
    DispatchCommand(state_, 0, layout::IDC_GENERATE);
    DispatchCommand(state_, 0, layout::IDC_CHOOSE_PICTURE);

    const auto& d = services_.dialogs;
    ASSERT_EQ(d.size(), 6u);
    EXPECT_FALSE(d[0].save);
    EXPECT_EQ(d[0].filterTexts, (std::vector<std::string>{"图片文件(*.jpg;*.png;*.bmp)", "所有文件(*.*)"}));
    EXPECT_EQ(d[0].defaultExtension, "jpg");
    EXPECT_TRUE(d[3].save);
    EXPECT_EQ(d[3].filterTexts,
              (std::vector<std::string>{"schematic文件(*.schematic)", "schem文件(*.schem)",
                                        "litematic文件(*.litematic)", "结构文件(*.nbt)",
                                        "基岩版结构文件(*.mcstructure)"}));
    EXPECT_EQ(d[3].defaultExtension, "schematic");
    // The save dialog always starts on the .schematic; the open dialog takes what the last left.
    const std::uint32_t startedOn[] = {0, 1, 2, 1, 1, 5};
    for (std::size_t i = 0; i < d.size(); ++i) EXPECT_EQ(d[i].filterIndexAtStart, startedOn[i]) << i;
}

TEST_F(CommandsTest, GenerateBeforeAnyImportWritesTheEmptySchematic) {
    const auto bytes = Generate(folder_ / "empty.schematic");
    ASSERT_TRUE(bytes);
    EXPECT_EQ(bytes->size(), 124u);
    EXPECT_TRUE(MessageTexts().empty());
}

TEST_F(CommandsTest, GenerateWritesWhatThePreviewShows) {
    fake::FakePicture picture = fake::SolidPicture(2, 1, 0xFFFF0000);
    picture.pixels[1] = 0xE5FF0000;  // alpha 229: no block
    Import(picture);
    const auto bytes = Generate(folder_ / "out.schematic");
    ASSERT_TRUE(bytes);
    ASSERT_EQ(bytes->size(), 128u);
    EXPECT_EQ(bytes->substr(112), std::string("\x23\x00\x07\x00\x04" "Data\x00\x00\x00\x02\x0E\x00\x00", 16));
}

TEST_F(CommandsTest, GenerateReportsWhatCannotBeWritten) {
    fs::create_directory(folder_ / "a folder");
    testing::WriteBytes(folder_ / "keep.schematic", "precious");
    EXPECT_FALSE(Generate(folder_ / "a folder"));
    EXPECT_EQ(MessageTexts(), std::vector<std::string>{texts::OPEN_FILE_FAILED});
    services_.messages.clear();

    DispatchCommand(state_, 0, layout::IDC_GENERATE);  // cancelled
    EXPECT_TRUE(MessageTexts().empty());

#ifdef _WIN32
    GTEST_SKIP() << "no device nodes here";
#else
    const fs::path full = folder_ / "full";
    if (mknod(full.c_str(), S_IFCHR | 0666, makedev(1, 7)) != 0) GTEST_SKIP() << "no device nodes here";
    Import(fake::SolidPicture(50, 50, 0xFFFF0000));
    services_.dialogAnswers.push_back({full, 1});
    DispatchCommand(state_, 0, layout::IDC_GENERATE);
    EXPECT_EQ(MessageTexts(), std::vector<std::string>{texts::WRITE_FILE_FAILED});
    EXPECT_EQ(testing::ReadBytes(folder_ / "keep.schematic"), "precious");
#endif
}

// The save dialog is unchanged; a typed .schem or .litematic name picks that format, for the
// newest game version, holding the same cells.
TEST_F(CommandsTest, GenerateWritesTheFormatOfATypedName) {
    fake::FakePicture picture = fake::SolidPicture(2, 1, 0xFFFF0000);
    picture.pixels[1] = 0xFF0000FF;
    Import(picture);
    for (const char* name : {"art.schem", "art.litematic", "ART.LITEMATIC"}) {
        const auto bytes = Generate(folder_ / name);
        ASSERT_TRUE(bytes) << name;
        std::string nbt, error;
        ASSERT_TRUE(testing::Gunzip(*bytes, nbt)) << name;
        const testing::NbtNode root = testing::ReadNbt(nbt, error);
        ASSERT_EQ(error, "") << name;
        const bool schem = std::string_view(name).ends_with(".schem");
        const testing::DecodedFile file = schem ? testing::DecodeSchem(root) : testing::DecodeLitematic(root);
        EXPECT_EQ(file.dataVersion, NewestGameVersion().dataVersion) << name;
        EXPECT_EQ(file.cells, (std::vector<std::string>{"minecraft:red_wool", "minecraft:stone"})) << name;
    }
    EXPECT_TRUE(MessageTexts().empty());
}

TEST_F(CommandsTest, ABlockWithoutAModernNameStopsOnlyTheModernFormats) {
    state_.colorTable.blockIds[1] = 253;  // "253,0,0,0,255": no block has that id today
    Import(fake::SolidPicture(1, 1, 0xFFFF0000));
    EXPECT_FALSE(Generate(folder_ / "art.litematic"));
    EXPECT_EQ(MessageTexts(), std::vector<std::string>{texts::NO_MODERN_BLOCK_NAME});
    EXPECT_TRUE(Generate(folder_ / "art.schematic"));
}

TEST_F(CommandsTest, ANamedBlockStopsOnlyTheSchematicAndLeavesTheOldFile) {
    state_.colorTable.blockStates[1] = "minecraft:cherry_planks";
    Import(fake::SolidPicture(1, 1, 0xFFFF0000));
    const std::filesystem::path old = folder_ / "art.schematic";
    { std::ofstream(old) << "old"; }
    EXPECT_EQ(Generate(old), std::optional<std::string>("old"));
    EXPECT_EQ(MessageTexts(), std::vector<std::string>{texts::NO_NUMERIC_BLOCK_ID});
    EXPECT_TRUE(Generate(folder_ / "art.litematic"));
    state_.colorTable.blockStates[1] = "minecraft:no_such_block";
    EXPECT_FALSE(Generate(folder_ / "other.litematic"));
    EXPECT_EQ(MessageTexts().back(), texts::UNKNOWN_BLOCK_NAME);
}

// A pick lets the old blocks go before it makes the new ones, so it holds no more than the import
// did; without memory for the new ones the old ones come back, and without memory even for those
// the window goes back to no picture, which still writes the empty schematic.
TEST_F(CommandsTest, APickNeedsNoMoreThanTheImportAndSaysWhenMemoryRunsOut) {
    fake::FakePicture picture{8, 8, {}};
    for (std::uint32_t i = 0; i < 64; ++i) picture.pixels.push_back(MakePixel(i * 4, 0, 255 - i * 4));
    script().mostSurfaces = 0;
    Import(picture);
    const int importPeak = script().mostSurfaces;
    const BlockGrid plain = state_.picture.grid;

    script().mostSurfaces = script().liveSurfaces;
    ChooseConversion(state_, layout::IDM_DITHER_FLOYD_STEINBERG);
    EXPECT_LE(script().mostSurfaces, importPeak);
    EXPECT_EQ(state_.choice.dither, DitherMode::FloydSteinberg);
    ChooseConversion(state_, layout::IDM_DITHER_NONE);
    ASSERT_EQ(state_.picture.grid, plain);

    struct Case {
        const char* name;
        int failing;  // surfaces that cannot be had
        bool keepsThePicture;
    };
    for (const Case& c : {Case{"no memory for the new blocks", 1, true}, Case{"nor for the old ones", 2, false}}) {
        services_.messages.clear();
        script().failingSurfaces = c.failing;
        ChooseConversion(state_, layout::IDM_MATCH_PERCEPTUAL);
        EXPECT_EQ(MessageTexts(), std::vector<std::string>{texts::OUT_OF_MEMORY}) << c.name;
        EXPECT_EQ(state_.choice, ConversionChoice{}) << c.name;
        EXPECT_EQ(state_.picture.source.HasPixels(), c.keepsThePicture) << c.name;
        EXPECT_EQ(state_.picture.grid, c.keepsThePicture ? plain : BlockGrid{}) << c.name;
        EXPECT_EQ(state_.picture.preview.HasPixels(), c.keepsThePicture) << c.name;
    }
    const auto bytes = Generate(folder_ / "empty.schematic");
    ASSERT_TRUE(bytes);
    EXPECT_EQ(bytes->size(), 124u);
}

// Names the save dialog accepts but that must not be written: the color table the window reads
// (however it is reached), and a modern file of a picture fitted to no width.
TEST_F(CommandsTest, GenerateRefusesTheColorTableAndEmptyModernFiles) {
    const std::string table = testing::ReadBytes(folder_ / "Colors.txt");
    fs::create_directory(folder_ / "sub");
    struct Case {
        const char* name;
        PictureSize picture;
        fs::path target;
        const char* message;  // nullptr: written
    };
    const Case cases[] = {
        {"the table", {2, 2}, folder_ / "Colors.txt", texts::OVERWRITE_COLOR_TABLE},
        {"the table through ..", {2, 2}, folder_ / "sub" / ".." / "Colors.txt", texts::OVERWRITE_COLOR_TABLE},
        {"a .schem of 300 x 0", {1000, 3}, folder_ / "thin.schem", texts::EMPTY_MODERN_FILE},
        {"a .litematic of 300 x 0", {1000, 3}, folder_ / "thin.litematic", texts::EMPTY_MODERN_FILE},
        {"the .schematic of 300 x 0", {1000, 3}, folder_ / "thin.schematic", nullptr},
    };
    for (const Case& c : cases) {
        Import(fake::SolidPicture(c.picture.width, c.picture.height, 0xFFFF0000), Answer::Yes);
        services_.messages.clear();
        const auto written = Generate(c.target);
        EXPECT_EQ(MessageTexts(), c.message ? std::vector<std::string>{c.message} : std::vector<std::string>{})
            << c.name;
        if (c.message == texts::EMPTY_MODERN_FILE) {
            EXPECT_FALSE(written) << c.name;
        }
        EXPECT_EQ(testing::ReadBytes(folder_ / "Colors.txt"), table) << c.name;
    }
#ifndef _WIN32
    fs::create_symlink(folder_ / "Colors.txt", folder_ / "link.schematic");
    Generate(folder_ / "link.schematic");
    EXPECT_EQ(MessageTexts().back(), texts::OVERWRITE_COLOR_TABLE);
    EXPECT_EQ(testing::ReadBytes(folder_ / "Colors.txt"), table);
#endif
}

TEST_F(CommandsTest, CommandsRunOnlyForNotificationZeroAndTheirOwnIdentifiers) {
    DispatchCommand(state_, 1, layout::IDC_CHOOSE_PICTURE);
    DispatchCommand(state_, 0x300, layout::IDC_GENERATE);
    DispatchCommand(state_, 0, layout::IDC_SOURCE_PANEL);
    DispatchCommand(state_, 0, 99);
    EXPECT_TRUE(services_.dialogs.empty());
    DispatchCommand(state_, 0, layout::IDC_CHOOSE_PICTURE);
    DispatchCommand(state_, 0, layout::IDC_GENERATE);
    ASSERT_EQ(services_.dialogs.size(), 2u);
    EXPECT_FALSE(services_.dialogs[0].save);
    EXPECT_TRUE(services_.dialogs[1].save);
}

TEST_F(CommandsTest, PanelsPaintTheirOwnSurface) {
    fake::FakePicture picture = fake::SolidPicture(4, 4, 0xFF2020F0);
    picture.pixels[0] = 0x00000000;  // top-left transparent
    Import(picture);
    fake::Canvas left, right, other;
    other.pixels.assign(other.pixels.size(), 0x12345678);
    DispatchDrawItem(state_, layout::IDC_SOURCE_PANEL, left);
    DispatchDrawItem(state_, layout::IDC_PREVIEW_PANEL, right);
    DispatchDrawItem(state_, layout::IDC_GENERATE, other);
    EXPECT_EQ(left.At(2, 2), 0xFF2020F0u);
    EXPECT_EQ(right.At(2, 2), 0xFF0000FFu);  // the blue entry
    EXPECT_EQ(left.At(0, 0), 0xFF000000u);   // the frame, over the picture
    EXPECT_EQ(right.At(5, 5), 0xFFFFFFFFu);  // beyond the 4 x 4 picture
    EXPECT_EQ(other.At(0, 0), 0x12345678u);
}

// Each pick converts the kept source again, asking nothing, and what the menu shows checked is
// what the blocks were made with; the next picture is made the same way.
TEST_F(CommandsTest, PreviewMenuConvertsTheKeptPictureAgain) {
    fake::FakePicture picture{24, 16, {}};
    for (std::uint32_t i = 0; i < 24 * 16; ++i) {
        const auto shade = static_cast<std::uint8_t>(i % 24 * 10);
        picture.pixels.push_back(MakePixel(shade, 0, static_cast<std::uint8_t>(255 - shade)));
    }
    Import(picture);
    const BlockGrid plain = state_.picture.grid;
    struct Step {
        int item;
        ConversionChoice made;
    };
    const Step steps[] = {
        {layout::IDM_DITHER_FLOYD_STEINBERG, {MatchMode::Rgb, DitherMode::FloydSteinberg}},
        {layout::IDM_MATCH_PERCEPTUAL, {MatchMode::Perceptual, DitherMode::FloydSteinberg}},
        {layout::IDM_DITHER_ORDERED, {MatchMode::Perceptual, DitherMode::Ordered}},
        {0, {MatchMode::Perceptual, DitherMode::Ordered}},  // dismissed
        {layout::IDM_DITHER_NONE, {MatchMode::Perceptual, DitherMode::None}},
        {layout::IDM_MATCH_RGB, {MatchMode::Rgb, DitherMode::None}},
    };
    for (const Step& step : steps) {
        services_.invalidated.clear();
        ChooseConversion(state_, step.item);
        EXPECT_TRUE(services_.dialogs.size() == 1 && services_.messages.empty()) << step.item;
        EXPECT_EQ(state_.choice, step.made) << step.item;
        BlockGrid expected;
        PixelSurface preview;
        ASSERT_TRUE(preview.Create(24, 16));
        ASSERT_TRUE(ConvertWithChoice(state_.colorTable, state_.picture.source, step.made, preview, expected));
        EXPECT_EQ(state_.picture.grid, expected) << step.item;
        EXPECT_EQ(state_.picture.preview.bits()[5], preview.bits()[5]) << step.item;
        EXPECT_EQ(services_.invalidated,
                  step.item == 0 ? std::vector<int>{} : std::vector<int>{layout::IDC_PREVIEW_PANEL});
        int checked = 0;
        for (const ConversionMenuItem& item : ConversionMenu(state_)) {
            const bool wanted = item.id == (step.made.match == MatchMode::Rgb ? layout::IDM_MATCH_RGB
                                                                               : layout::IDM_MATCH_PERCEPTUAL) ||
                                item.id == (step.made.dither == DitherMode::None ? layout::IDM_DITHER_NONE
                                            : step.made.dither == DitherMode::Ordered
                                                ? layout::IDM_DITHER_ORDERED
                                                : layout::IDM_DITHER_FLOYD_STEINBERG) ||
                                item.id == layout::IDM_ORIENTATION_FLOOR || item.id == layout::IDM_MAP_NONE ||
                                item.id == layout::IDM_MAPS_1X1;
            EXPECT_EQ(item.checked, wanted) << item.text;
            checked += item.checked;
        }
        EXPECT_EQ(checked, 5);
    }
    EXPECT_EQ(state_.picture.grid, plain);  // back to the default: the default's blocks

    ChooseConversion(state_, layout::IDM_DITHER_FLOYD_STEINBERG);
    const BlockGrid dithered = state_.picture.grid;
    EXPECT_NE(dithered, plain);
    Import(picture);
    EXPECT_EQ(state_.picture.grid, dithered);
}

TEST(Lifecycle, MissingColorTableShowsOnlyTheErrorAndStartsNothing) {
    fake::Reset();
    testing::TempFolder folder;
    for (const fs::path& path : {folder / "Colors.txt", folder / "words.txt"}) {
        if (path.filename() == "words.txt") testing::WriteBytes(path, "no numbers\n");
        fake::Reset();
        fake::WindowServices services;
        AppState state{services};
        state.colorTablePath = path;
        EXPECT_FALSE(OnCreate(state)) << path;
        ASSERT_EQ(services.messages.size(), 1u);
        EXPECT_EQ(services.messages[0].first, texts::COLORS_FAILED);
        EXPECT_EQ(services.messages[0].second, MessageKind::Error);
        EXPECT_EQ(fake::CurrentScript().servicesRunning, 0);
        EXPECT_FALSE(state.fileDialog.prepared);
        OnDestroy(state);
        EXPECT_EQ(fake::CurrentScript().servicesRunning, 0);
    }
}

// 方向：墙面 converts nothing; the next file stands up, every format alike, until 方向：地面.
TEST_F(CommandsTest, OrientationAppliesToTheNextFileWritten) {
    fake::FakePicture picture = fake::SolidPicture(2, 3, 0xFFFF0000);
    picture.pixels[0] = 0xFF0000FF;  // top-left stone, the rest red wool
    Import(picture);
    const BlockGrid before = state_.picture.grid;
    services_.invalidated.clear();
    ChooseConversion(state_, layout::IDM_ORIENTATION_WALL);
    EXPECT_EQ(state_.picture.grid, before);
    EXPECT_TRUE(services_.invalidated.empty() && services_.messages.empty());
    std::vector<std::string> shown;
    for (const ConversionMenuItem& item : ConversionMenu(state_)) {
        if (item.id == layout::IDM_ORIENTATION_FLOOR || item.id == layout::IDM_ORIENTATION_WALL) {
            shown.push_back(std::string(item.checked ? "*" : "") + item.text);
        }
    }
    EXPECT_EQ(shown, (std::vector<std::string>{texts::ORIENTATION_FLOOR, std::string("*") + texts::ORIENTATION_WALL}));

    // The .schematic of a wall: Height 3, Length 1, the bottom row first (wool, wool; wool, wool;
    // stone, wool).
    const auto wall = Generate(folder_ / "wall.schematic");
    ASSERT_TRUE(wall);
    EXPECT_EQ(wall->substr(12, 11), std::string("\x02\x00\x06Height\x00\x03", 11));
    EXPECT_EQ(wall->substr(23, 11), std::string("\x02\x00\x06Length\x00\x01", 11));
    EXPECT_EQ(wall->substr(wall->size() - 24, 6), std::string("\x23\x23\x23\x23\x01\x23", 6));
    const auto litematic = Generate(folder_ / "wall.litematic");
    ASSERT_TRUE(litematic);
    std::string nbt, error;
    ASSERT_TRUE(testing::Gunzip(*litematic, nbt));
    const testing::DecodedFile file = testing::DecodeLitematic(testing::ReadNbt(nbt, error));
    EXPECT_EQ(file.width * 10 + file.height * 100 + file.length, 2 * 10 + 3 * 100 + 1);

    ChooseConversion(state_, layout::IDM_ORIENTATION_FLOOR);
    const auto floor = Generate(folder_ / "floor.schematic");
    ASSERT_TRUE(floor);
    EXPECT_EQ(floor->substr(12, 11), std::string("\x02\x00\x06Height\x00\x01", 11));
}

}  // namespace
}  // namespace tesselbox
