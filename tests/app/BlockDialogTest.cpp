// The blocks dialog and the material list through the fake window services: what the dialog
// offers and yields, what OK and Cancel do to the window, and the files their buttons write.
#include "app/BlockDialog.h"
#include "app/Commands.h"
#include "app/ConversionMenu.h"
#include "app/MaterialList.h"
#include "app/Texts.h"
#include "app/WindowLayout.h"
#include "palette/BlockChoice.h"
#include "tests/support/CsvCounts.h"
#include "tests/support/FakePlatform.h"
#include "tests/support/FakeWindowServices.h"
#include "tests/support/TempFolder.h"

#include <gtest/gtest.h>

namespace tesselbox {
namespace {

namespace fs = std::filesystem;

std::vector<std::string> BlockStatesOf(const ColorTable& table) {
    return {table.blockStates.begin(), table.blockStates.begin() + table.count};
}

class BlockDialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        fake::Reset();
        // Red wool, stone, sand (it falls) and a block no catalogue holds.
        testing::WriteBytes(folder_ / "Colors.txt",
                            "35,14,255,0,0,Red Wool\n1,0,0,0,255,Stone\n12,0,250,240,180,Sand\n253,0,0,255,0\n");
        state_.colorTablePath = folder_ / "Colors.txt";
        ASSERT_TRUE(OnCreate(state_));
    }
    void TearDown() override { OnDestroy(state_); }

    // Red on the left, blue on the right, yellowish below: each matches another entry.
    void Import() {
        fake::FakePicture picture{4, 2, {0xFFFF0000, 0xFFFF0000, 0xFF0000FF, 0xFF0000FF,
                                         0xFFFAF0B4, 0xFFFAF0B4, 0xFFFAF0B4, 0xFFFAF0B4}};
        fake::CurrentScript().pictures[folder_ / "p.png"] = picture;
        services_.dialogAnswers.push_back({folder_ / "p.png", 1});
        DispatchCommand(state_, 0, layout::IDC_CHOOSE_PICTURE);
        ASSERT_EQ(state_.picture.grid.size(), 8u);
    }

    // Opens 方块… from the menu and does what the user does there.
    void Blocks(fake::BlockDialogAnswer answer) {
        services_.blockDialogAnswers.push_back(std::move(answer));
        ChooseConversion(state_, layout::IDM_BLOCKS);
    }

    testing::TempFolder folder_;
    fake::WindowServices services_;
    AppState state_{services_};
};

// Each quick choice leaves out the blocks with its flag, as the command line's --exclude of that
// flag does on the same table; the count says how many are left.
TEST_F(BlockDialogTest, QuickChoicesLeaveOutWhatTheCommandLineExcludes) {
    const char* words[] = {"falls", "needs-support", "changes", "busy", "creative-only"};
    auto all = std::make_unique<ColorTable>();
    MakeModernTable(*all);
    BlockDialog dialog(state_);
    dialog.ChooseTable(1);
    ASSERT_EQ(dialog.QuickChoices().size(), std::size(words));
    for (std::size_t k = 0; k < std::size(words); ++k) {
        SCOPED_TRACE(words[k]);
        dialog.SetQuickChoice(k, true);
        auto expected = std::make_unique<ColorTable>();
        MakeModernTable(*expected);
        ChooseBlocks(*expected, {}, {words[k]});
        const auto chosen = dialog.ChosenTable();
        EXPECT_EQ(BlockStatesOf(*chosen), BlockStatesOf(*expected));
        if (k == 0) {
            EXPECT_LT(chosen->count, all->count);  // concrete powder, sand, ... fall
        }
        EXPECT_EQ(dialog.CountText(), texts::CHOSEN_BEFORE + std::to_string(expected->count) + " / " +
                                          std::to_string(all->count) + texts::CHOSEN_AFTER);
        std::size_t rows = 0, checked = 0, disabled = 0;
        for (const platform::BlockGroup& group : dialog.Groups()) {
            for (const platform::BlockRow& row : group.rows) {
                ++rows;
                checked += row.checked;
                disabled += !row.enabled;
            }
        }
        EXPECT_EQ(checked, static_cast<std::size_t>(expected->count));
        EXPECT_EQ(disabled, rows - checked);
        dialog.SetQuickChoice(k, false);
    }
}

// The table read at start-up, grouped by the families of the blocks' modern names; a block the
// catalogue does not hold is "other". A quick choice's block cannot be checked back by hand.
TEST_F(BlockDialogTest, TheWorkingTableIsGroupedByFamily) {
    BlockDialog dialog(state_);
    std::vector<std::string> shown;
    for (const platform::BlockGroup& group : dialog.Groups()) {
        for (const platform::BlockRow& row : group.rows) shown.push_back(group.family + ": " + row.text);
    }
    // The families in the catalogue's order.
    EXPECT_EQ(shown, (std::vector<std::string>{"stone-and-deepslate: Stone  1:0", "other: 253:0",
                                               "wool: Red Wool  35:14", "earth: Sand  12:0"}));
    dialog.SetQuickChoice(0, true);  // 不要下落的方块
    dialog.CheckBlock(3, 0, true);
    EXPECT_FALSE(dialog.Groups()[3].rows[0].checked);
    EXPECT_FALSE(dialog.Groups()[3].rows[0].enabled);
    EXPECT_EQ(dialog.ChosenCount(), 3u);
    for (std::size_t g = 0; g < 4; ++g) dialog.CheckBlock(g, 0, false);
    EXPECT_FALSE(dialog.CanAccept());
}

// OK makes the picture again with the blocks chosen, which the next file holds and the dialog
// opens on again; Cancel, whatever was clicked, changes nothing.
TEST_F(BlockDialogTest, OkConvertsAgainWithTheChosenBlocksAndCancelChangesNothing) {
    Import();
    const BlockGrid all = state_.picture.grid;
    EXPECT_EQ(all, (BlockGrid{2, 2, 2, 2, 0, 0, 1, 1}));  // the bottom row first
    services_.invalidated.clear();
    Blocks([](platform::BlockDialogModel& d) {
        d.CheckBlock(2, 0, false);  // no red wool
        d.ChooseTable(0);           // the table already shown: nothing changes
        return false;
    });
    EXPECT_EQ(state_.picture.grid, all);
    EXPECT_EQ(state_.chosenTable, nullptr);
    EXPECT_TRUE(services_.invalidated.empty());

    Blocks([](platform::BlockDialogModel& d) {
        d.CheckBlock(2, 0, false);
        d.SetQuickChoice(0, true);
        return true;
    });
    ASSERT_NE(state_.chosenTable, nullptr);
    ASSERT_EQ(state_.chosenTable->count, 2);  // stone, and 253:0, which is green
    EXPECT_EQ(state_.picture.grid, (BlockGrid{1, 1, 1, 1, 0, 0, 0, 0}));
    EXPECT_EQ(services_.invalidated, std::vector<int>{layout::IDC_PREVIEW_PANEL});
    const fs::path out = folder_ / "out.schematic";
    services_.dialogAnswers.push_back({out, 1});
    DispatchCommand(state_, 0, layout::IDC_GENERATE);
    const std::string bytes = testing::ReadBytes(out);
    ASSERT_GE(bytes.size(), 28u);
    EXPECT_EQ(bytes.substr(bytes.size() - 28, 8), std::string("\x01\x01\x01\x01\xFD\xFD\xFD\xFD", 8));

    std::string count;
    Blocks([&](platform::BlockDialogModel& d) {
        count = d.CountText();
        return d.QuickChoices()[0].on && !d.Groups()[2].rows[0].checked;
    });
    EXPECT_EQ(count, texts::CHOSEN_BEFORE + std::string("2 / 4") + texts::CHOSEN_AFTER);

    Blocks([](platform::BlockDialogModel& d) {
        d.ChooseTable(1);
        return true;
    });
    EXPECT_GT(state_.chosenTable->count, 300);
    EXPECT_EQ(state_.picture.grid.size(), 8u);
    for (const std::int32_t cell : state_.picture.grid) {
        EXPECT_TRUE(state_.chosenTable->blockStates[static_cast<std::size_t>(cell)].starts_with("minecraft:"));
    }
    EXPECT_EQ(services_.blockDialogRuns, 4);
    EXPECT_TRUE(services_.messages.empty());
}

// 另存为颜色表… writes the chosen blocks as a table that reads back as them, and refuses the table
// the window reads, however it is named, leaving it as it was.
TEST_F(BlockDialogTest, SaveAsColorTableWritesTheChoiceAndRefusesTheTableInUse) {
    const std::string before = testing::ReadBytes(folder_ / "Colors.txt");
    fs::create_directory(folder_ / "sub");
    struct Case {
        const char* name;
        std::size_t table;
        fs::path target;
        std::vector<std::string> messages;
    };
    const Case cases[] = {
        {"the working table, saved aside", 0, folder_ / "mine.txt", {}},
        {"the modern table, saved aside", 1, folder_ / "modern.txt", {}},
        {"onto the table read", 0, folder_ / "Colors.txt", {texts::OVERWRITE_COLOR_TABLE}},
        {"onto it through ..", 1, folder_ / "sub" / ".." / "Colors.txt", {texts::OVERWRITE_COLOR_TABLE}},
        {"into a folder", 0, folder_ / "sub", {texts::OPEN_FILE_FAILED}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        services_.messages.clear();
        services_.dialogAnswers.push_back({c.target, 1});
        std::unique_ptr<ColorTable> chosen;
        Blocks([&](platform::BlockDialogModel& d) {
            d.ChooseTable(c.table);
            d.CheckBlock(0, 0, false);
            d.SetQuickChoice(4, true);  // 只要生存可得的方块
            d.SaveAsColorTable();
            chosen = static_cast<BlockDialog&>(d).ChosenTable();
            return false;
        });
        EXPECT_EQ(services_.MessageTexts(), c.messages);
        EXPECT_EQ(services_.dialogs.back().filterTexts, std::vector<std::string>{"颜色表文件(*.txt)"});
        EXPECT_EQ(testing::ReadBytes(folder_ / "Colors.txt"), before);
        if (!c.messages.empty()) continue;
        auto read = std::make_unique<ColorTable>();
        ASSERT_TRUE(LoadColorTableFile(c.target, *read).ok());
        ASSERT_EQ(read->count, chosen->count);
        for (std::size_t i = 0; i < static_cast<std::size_t>(read->count); ++i) {
            EXPECT_EQ(read->colors[i], chosen->colors[i]);
            EXPECT_EQ(read->blockIds[i], chosen->blockIds[i]);
            EXPECT_EQ(read->blockData[i], chosen->blockData[i]);
            EXPECT_EQ(read->blockStates[i], chosen->blockStates[i]);
        }
    }
    EXPECT_EQ(state_.chosenTable, nullptr);  // every dialog was cancelled
}

// The list counts what the current blocks are, and its CSV holds the same counts and each block's
// name in the newest version: a picture of 2100 red blocks (one shulker box and more) and 60 blue ones.
TEST_F(BlockDialogTest, MaterialListShowsAndSavesTheCountsAndNamesOfTheCurrentBlocks) {
    fake::FakePicture picture = fake::SolidPicture(60, 36, 0xFFFF0000);
    for (std::size_t i = 0; i < 60; ++i) picture.pixels[i] = 0xFF0000FF;
    fake::CurrentScript().pictures[folder_ / "p.png"] = picture;
    services_.dialogAnswers.push_back({folder_ / "p.png", 1});
    DispatchCommand(state_, 0, layout::IDC_CHOOSE_PICTURE);

    const fs::path csv = folder_ / "list.csv";
    services_.dialogAnswers.push_back({csv, 1});
    services_.materialsSaves.push_back(true);
    ChooseConversion(state_, layout::IDM_MATERIALS);
    ASSERT_EQ(services_.materialsShown.size(), 1u);
    const platform::MaterialsList& list = services_.materialsShown[0];
    using Row = std::vector<std::string>;
    EXPECT_EQ(list.rows, (std::vector<Row>{{"35:14", "Red Wool", "2100", "32", "52", "1", "5"},
                                           {"1:0", "Stone", "60", "0", "60", "", ""}}));
    EXPECT_EQ(list.headings.size(), list.rows[0].size());
    EXPECT_EQ(list.summary, std::string(texts::TOTAL_BEFORE) + "2160" + texts::TOTAL_KINDS + "2" +
                                texts::TOTAL_EMPTY + "0" + texts::TOTAL_AFTER);

    std::vector<std::string> shown;
    shown.reserve(list.rows.size());
    for (const Row& row : list.rows) shown.push_back(row[0] + "=" + row[2]);
    EXPECT_EQ(testing::CsvCounts(testing::ReadBytes(csv)), shown);
    EXPECT_EQ(testing::ReadBytes(csv),
              "block,name in that version,name,count,stacks of 64,left over,shulker boxes,stacks besides the boxes\n"
              "35:14,minecraft:red_wool,Red Wool,2100,32,52,1,5\n"
              "1:0,minecraft:stone,Stone,60,0,60,0,0\n");
    EXPECT_TRUE(services_.messages.empty());
}

}  // namespace
}  // namespace tesselbox
