// 地图画 in the window over the fake platform: the menu's groups, each mode and size made from the
// picture's file and painted, the files 生成 writes against the command line's road for the same
// picture, the material list against those files, and every refusal leaving the disk as it was.
#include "app/Commands.h"
#include "app/ConversionMenu.h"
#include "app/Texts.h"
#include "app/WindowLayout.h"
#include "convert/MapArt.h"
#include "convert/PictureImport.h"
#include "formats/MapFiles.h"
#include "palette/BlockChoice.h"
#include "palette/BlockStates.h"
#include "tests/support/BlockFileReading.h"
#include "tests/support/FakePlatform.h"
#include "tests/support/FakeWindowServices.h"
#include "tests/support/TempFolder.h"

#include <gtest/gtest.h>

#include <map>

namespace tesselbox {
namespace {

namespace fs = std::filesystem;

// Read at start-up under a name one map file would take ("colors.litematic" has this guide).
constexpr const char* TABLE_NAME = "colors-maps.txt";

// The tree with the writing time left out, as text, so two files compare whole.
void Dump(const testing::NbtNode& node, std::string& out) {
    const bool time = node.name == "TimeCreated" || node.name == "TimeModified";
    out.append(std::to_string(node.type)).append(" ").append(node.name).append("=");
    out.append(std::to_string(time ? 0 : node.number)).append("'").append(node.text).append("'");
    for (const std::int64_t value : node.values) out.append(" ").append(std::to_string(value));
    out += "{";
    for (const testing::NbtNode& child : node.children) Dump(child, out);
    out += "}";
}

std::string TreeOf(const fs::path& file) {
    std::string nbt, error;
    if (!testing::Gunzip(testing::ReadBytes(file), nbt)) return "not gzip: " + file.string();
    const testing::NbtNode root = testing::ReadNbt(nbt, error);
    if (!error.empty()) return error;
    std::string text;
    Dump(root, text);
    return text;
}

// Every block the file places, by its state.
std::map<std::string, std::uint64_t> BlocksIn(const fs::path& file) {
    std::string nbt, error;
    std::map<std::string, std::uint64_t> counts;
    if (!testing::Gunzip(testing::ReadBytes(file), nbt)) return counts;
    const testing::DecodedFile decoded = testing::DecodeLitematic(testing::ReadNbt(nbt, error));
    for (const std::string& cell : decoded.cells) {
        if (cell != "minecraft:air") ++counts[ParseBlockState(cell).ToString()];
    }
    return counts;
}

fake::FakePicture Gradient(std::uint32_t width, std::uint32_t height) {
    fake::FakePicture picture{width, height, {}, true};
    for (std::uint32_t y = 0; y < height; ++y) {
        for (std::uint32_t x = 0; x < width; ++x) {
            picture.pixels.push_back(MakePixel(static_cast<std::uint8_t>(x * 255 / width), static_cast<std::uint8_t>(y * 255 / height),
                                               static_cast<std::uint8_t>((x + y) * 7 % 256)));
        }
    }
    return picture;
}

class MapArtWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        fake::Reset();
        testing::WriteBytes(folder_ / TABLE_NAME, testing::ReadBytes(fs::path(TESSELBOX_SOURCE_DIR) / "Colors.txt"));
        state_.colorTablePath = folder_ / TABLE_NAME;
        ASSERT_TRUE(OnCreate(state_));
    }
    void TearDown() override {
        OnDestroy(state_);
        EXPECT_EQ(fake::CurrentScript().liveSurfaces, 0);
        EXPECT_EQ(fake::CurrentScript().livePictures, 0);
    }

    void Import(const fake::FakePicture& picture, const fs::path& path) {
        fake::CurrentScript().pictures[path] = picture;
        services_.dialogAnswers.push_back({path, 1});
        DispatchCommand(state_, 0, layout::IDC_CHOOSE_PICTURE);
    }

    // Presses 生成 and names path; the files in the folder afterwards.
    std::vector<std::string> Generate(const fs::path& path) {
        services_.dialogAnswers.push_back({path, 1});
        DispatchCommand(state_, 0, layout::IDC_GENERATE);
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(path.parent_path())) names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    // The menu as shown: "|" a separator, "*" a checked item.
    std::vector<std::string> MapGroups() const {
        std::vector<std::string> shown;
        for (const ConversionMenuItem& item : ConversionMenu(state_)) {
            if (item.id < layout::IDM_MAP_NONE) continue;
            shown.push_back(std::string(item.startsGroup ? "|" : "") + (item.checked ? "*" : "") + item.text);
        }
        return shown;
    }

    testing::TempFolder folder_;
    fake::WindowServices services_;
    AppState state_{services_};
};

TEST_F(MapArtWindowTest, MenuGroupsStartOffAndFollowThePicks) {
    EXPECT_EQ(MapGroups(), (std::vector<std::string>{"|*地图画：无", "地图画：平面", "地图画：阶梯", "地图画：山谷阶梯",
                                                     "|*地图：1×1", "地图：1×2", "地图：2×1", "地图：2×2", "地图：3×3",
                                                     "地图：4×4"}));
    const std::vector<ConversionMenuItem> menu = ConversionMenu(state_);
    ASSERT_EQ(menu.size(), 19u);
    EXPECT_EQ(menu.back().id, layout::IDM_MATERIALS);
    EXPECT_TRUE(menu[17].startsGroup && !menu[17].checkable);  // 方块… after the map groups

    // Without a picture the picks are only remembered; nothing is painted or read.
    ChooseConversion(state_, layout::IDM_MAP_VALLEY);
    ChooseConversion(state_, layout::IDM_MAPS_3X3);
    EXPECT_EQ(MapGroups(), (std::vector<std::string>{"|地图画：无", "地图画：平面", "地图画：阶梯", "*地图画：山谷阶梯",
                                                     "|地图：1×1", "地图：1×2", "地图：2×1", "地图：2×2", "*地图：3×3",
                                                     "地图：4×4"}));
    EXPECT_EQ(state_.mapPicture, nullptr);
    EXPECT_TRUE(services_.messages.empty() && services_.invalidated.empty() && services_.busyRuns == 0);
}

struct MapCase {
    const char* name;
    std::vector<int> picks;
    MapMode mode;
    std::uint32_t wide, tall;
    ConversionChoice choice;
    fake::FakePicture picture;
};

// Each mode and size, picked after the import or before it, made from the picture's file (200 ×
// 100 fits 128 × 64 on one map, 600 × 450 kept at 300 × 225 is read again for 3 × 3 maps); the
// panel shows the maps as the game does, 生成 writes what the command line's road makes of that
// file, and the material list counts what those files hold.
TEST_F(MapArtWindowTest, EachModeMakesPaintsWritesAndCountsTheMapsOfThePictureFile) {
    const MapCase cases[] = {
        {"flat", {layout::IDM_MAP_FLAT}, MapMode::Flat, 1, 1, {}, Gradient(200, 100)},
        {"staircase2x1", {layout::IDM_MAPS_2X1, layout::IDM_MAP_STAIRCASE}, MapMode::Staircase, 2, 1, {}, Gradient(200, 100)},
        {"valley1x2dithered", {layout::IDM_MAP_VALLEY, layout::IDM_MAPS_1X2, layout::IDM_DITHER_FLOYD_STEINBERG},
         MapMode::Valley, 1, 2, {MatchMode::Rgb, DitherMode::FloydSteinberg}, Gradient(90, 160)},
        {"shrunk3x3perceptual", {layout::IDM_MATCH_PERCEPTUAL, layout::IDM_MAP_STAIRCASE, layout::IDM_MAPS_3X3},
         MapMode::Staircase, 3, 3, {MatchMode::Perceptual, DitherMode::None}, Gradient(600, 450)},
    };
    for (const MapCase& c : cases) {
        SCOPED_TRACE(c.name);
        const fs::path mine = folder_ / c.name, cli = folder_ / (std::string(c.name) + "-cli");
        fs::create_directories(mine);
        fs::create_directories(cli);
        const fs::path picture = folder_ / (std::string(c.name) + ".png");
        services_.messageAnswers.push_back(platform::Answer::Yes);  // shrink, when asked
        Import(c.picture, picture);
        const BlockGrid blocks = state_.picture.grid;
        for (const int pick : c.picks) ChooseConversion(state_, pick);
        ASSERT_NE(state_.mapPicture, nullptr);
        EXPECT_TRUE(services_.messages.size() <= 1) << services_.MessageTexts().back();  // the shrink question

        // The panel: the canvas at a whole multiple while it fits, transparent outside the art.
        const MapArt& art = state_.mapPicture->art;
        const PixelSurface& preview = state_.mapPicture->preview;
        ASSERT_EQ(art.pieces.size(), std::size_t{c.wide} * c.tall);
        EXPECT_EQ(preview.width(), 128 * c.wide);
        EXPECT_EQ(preview.height(), 128 * c.tall);
        const std::uint32_t times = c.wide * c.tall > 2 ? 0 : 300 / (128 * std::max(c.wide, c.tall));
        if (times > 0) {
            EXPECT_EQ(state_.mapPicture->display, (PictureSize{128 * c.wide * times, 128 * c.tall * times}));
        }
        fake::Canvas canvas;
        DispatchDrawItem(state_, layout::IDC_PREVIEW_PANEL, canvas);
        const PictureSize shown = state_.mapPicture->display;
        const std::uint32_t x = shown.width / 2, y = shown.height / 2;
        const std::uint32_t sx = x * preview.width() / shown.width, sy = y * preview.height() / shown.height;
        const Pixel centre = preview.bits()[std::size_t{preview.height() - 1 - sy} * preview.width() + sx];
        EXPECT_EQ(AlphaOf(centre), 255u);
        EXPECT_EQ(canvas.At(int(x), int(y)), centre);
        const PictureSize fitted = FitToMaps({c.picture.width, c.picture.height}, {c.mode, c.wide, c.tall, 0, nullptr});
        EXPECT_TRUE(fitted.height == preview.height() || canvas.At(int(x), 2) == 0xFFFFFFFFu) << "no art above: white";
        EXPECT_TRUE(fitted.width == preview.width() || canvas.At(2, int(y)) == 0xFFFFFFFFu) << "no art beside: white";

        // 生成: the window's files against the command line's road for the same file and options.
        MapPaletteRequest request;
        request.mode = c.mode;
        for (std::size_t i = 0; i < static_cast<std::size_t>(state_.colorTable.count); ++i) {
            request.offered.push_back(BlockNameOf(state_.colorTable, i));
        }
        MapPalette palette;
        ASSERT_FALSE(MakeMapPalette(request, palette));
        MapArt expected;
        const MapArtRequest maps{c.mode, c.wide, c.tall, 0, nullptr};
        ASSERT_TRUE(MakeMapArt(LoadPicture(picture), palette, maps, c.choice, expected).ok());
        BlockFileOptions options;
        options.format = BlockFileFormat::Litematic;
        ASSERT_TRUE(WriteMapFiles(cli / "art.litematic", expected, palette, options, false, {}).ok());

        const std::vector<std::string> written = Generate(mine / "art.litematic");
        EXPECT_EQ(services_.dialogs.back().defaultExtension, "litematic");
        EXPECT_EQ(services_.dialogs.back().filterTexts.front(), "litematic文件(*.litematic)");
        std::vector<std::string> names;
        for (const fs::path& file : MapFileNames(mine / "art.litematic", art, BlockFileFormat::Litematic, false)) {
            names.push_back(file.filename().string());
        }
        std::sort(names.begin(), names.end());
        EXPECT_EQ(written, names);
        std::map<std::string, std::uint64_t> inFiles;
        for (const std::string& name : names) {
            if (name.ends_with(".txt")) continue;
            const std::string tree = TreeOf(mine / name);
            EXPECT_TRUE(tree == TreeOf(cli / name)) << name << ": " << tree.substr(0, 200);
            for (const auto& [block, count] : BlocksIn(mine / name)) inFiles[block] += count;
        }

        // 材料清单…: the art's rows, then the support and reference blocks under their heading.
        services_.materialsSaves.push_back(true);
        services_.dialogAnswers.push_back({mine / "list.csv", 1});
        ChooseConversion(state_, layout::IDM_MATERIALS);
        ASSERT_FALSE(services_.materialsShown.empty());
        std::map<std::string, std::uint64_t> listed;
        bool supportHeading = false;
        for (const std::vector<std::string>& row : services_.materialsShown.back().rows) {
            if (row[0] == texts::SUPPORT_BLOCKS) {
                supportHeading = true;
                continue;
            }
            listed[ParseBlockState(row[0]).ToString()] += std::stoull(row[2]);
        }
        EXPECT_TRUE(supportHeading);  // every column has its reference block
        EXPECT_EQ(listed, inFiles);
        const std::string csv = testing::ReadBytes(mine / "list.csv");
        EXPECT_NE(csv.find(std::string("\n") + texts::SUPPORT_BLOCKS + "\n"), std::string::npos);

        // 无: the blocks as they were, painted again.
        services_.invalidated.clear();
        ChooseConversion(state_, layout::IDM_MAP_NONE);
        EXPECT_EQ(state_.mapPicture, nullptr);
        EXPECT_EQ(services_.invalidated, std::vector<int>{layout::IDC_PREVIEW_PANEL});
        if (c.choice == ConversionChoice{}) {
            EXPECT_EQ(state_.picture.grid, blocks);
        }
        ChooseConversion(state_, layout::IDM_MAPS_1X1);
        ChooseConversion(state_, layout::IDM_MATCH_RGB);
        ChooseConversion(state_, layout::IDM_DITHER_NONE);
        services_.messages.clear();
    }
}

TEST_F(MapArtWindowTest, RefusalsSayWhyAndLeaveEveryFileAsItWas) {
    const fs::path picture = folder_ / "picture.png";
    Import(Gradient(64, 64), picture);
    ChooseConversion(state_, layout::IDM_MAP_STAIRCASE);
    ASSERT_NE(state_.mapPicture, nullptr);
    fs::create_directories(folder_ / "out");
    testing::WriteBytes(folder_ / "out" / "old.schematic", "old");
    const std::string table = testing::ReadBytes(folder_ / TABLE_NAME);

    struct Refusal {
        fs::path target;
        const char* message;
    };
    const Refusal refusals[] = {
        {folder_ / "out" / "old.schematic", texts::MAP_NOT_SCHEMATIC},
        {folder_ / "colors.litematic", texts::OVERWRITE_COLOR_TABLE},  // its guide is the table
        {folder_ / TABLE_NAME, texts::OVERWRITE_COLOR_TABLE},
        {folder_ / "missing" / "art.nbt", texts::OPEN_FILE_FAILED},
    };
    for (const Refusal& r : refusals) {
        services_.messages.clear();
        services_.dialogAnswers.push_back({r.target, 1});
        DispatchCommand(state_, 0, layout::IDC_GENERATE);
        EXPECT_EQ(services_.MessageTexts(), std::vector<std::string>{r.message}) << r.target;
    }
    EXPECT_EQ(testing::ReadBytes(folder_ / "out" / "old.schematic"), "old");
    EXPECT_FALSE(fs::exists(folder_ / "out" / "old-maps.txt"));
    EXPECT_FALSE(fs::exists(folder_ / "colors.litematic"));
    EXPECT_EQ(testing::ReadBytes(folder_ / TABLE_NAME), table);

    // A picture file gone since the import: the map stays as it was.
    const MapArt* before = &state_.mapPicture->art;
    fake::CurrentScript().pictures.erase(picture);
    services_.messages.clear();
    ChooseConversion(state_, layout::IDM_MAPS_2X2);
    EXPECT_EQ(services_.MessageTexts(), std::vector<std::string>{texts::READ_PICTURE_FAILED});
    EXPECT_EQ(&state_.mapPicture->art, before);
    EXPECT_EQ(state_.map, (MapChoice{MapMode::Staircase, 1, 1}));

    // Blocks that give a map no color: the mode is refused, the blocks stay.
    ChooseConversion(state_, layout::IDM_MAP_NONE);
    auto glass = std::make_unique<ColorTable>();
    glass->count = 1;
    glass->colors[0] = MakePixel(200, 220, 230);
    glass->blockStates[0] = "minecraft:glass";
    state_.chosenTable = std::move(glass);
    services_.messages.clear();
    ChooseConversion(state_, layout::IDM_MAP_FLAT);
    EXPECT_EQ(services_.MessageTexts(), std::vector<std::string>{texts::NO_MAP_COLOR});
    EXPECT_EQ(state_.map.mode, std::nullopt);
    EXPECT_EQ(state_.mapPicture, nullptr);
}

}  // namespace
}  // namespace tesselbox
