// Choosing blocks on the command line: the modern table and its words, the printed table read back
// as a Colors.txt, and the material list against the file that was written.
#include "blocks/ModernBlocks.h"
#include "tests/cli/CliTestSupport.h"
#include "tests/support/BlockFileReading.h"
#include "tests/support/TempFolder.h"

#include <gtest/gtest.h>

#include <map>
#include <sstream>

namespace tesselbox::cli {
namespace {

namespace fs = std::filesystem;
using testing::ReadBytes;
using testing::RunCli;
using testing::TempFolder;
using testing::WriteBytes;

bool Has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

TEST(BlockChoiceCommand, ThePrintedTableReadsBackAsTheSameTable) {
    TempFolder folder;
    const auto printed = RunCli({"palette", "-q", "--blocks", "modern", "--exclude", "falls"});
    ASSERT_EQ(printed.code, EXIT_DONE) << printed.err;
    std::size_t expected = 0;
    for (const blocks::ModernBlock& block : blocks::ModernBlocks()) {
        if ((block.flags & blocks::FALLS) != 0) {
            EXPECT_FALSE(Has(printed.out, std::string(block.name) + ",")) << block.name;
        } else {
            ++expected;
            EXPECT_TRUE(Has(printed.out, std::string(block.name) + ",")) << block.name;
        }
    }
    EXPECT_EQ(static_cast<std::size_t>(std::count(printed.out.begin(), printed.out.end(), '\n')), expected);
    WriteBytes(folder / "Colors.txt", printed.out);
    const auto reread = RunCli({"palette", (folder / "Colors.txt").string()});
    ASSERT_EQ(reread.code, EXIT_DONE) << reread.err;
    EXPECT_EQ(reread.out, printed.out);
    EXPECT_TRUE(Has(reread.err, std::to_string(expected) + " entries")) << reread.err;
}

TEST(BlockChoiceCommand, WrongChoicesSayWhyAndWriteNothing) {
    TempFolder folder;
    testing::SavePicture(testing::MakeImage(2, 1, [](int x, int) { return x ? qRgb(200, 0, 0) : qRgb(0, 0, 200); }),
                         folder / "p.png");
    WriteBytes(folder / "named.txt", "35,14,160,39,34\n# heading\nminecraft:cherry_planks,226,178,172\n");
    const std::string picture = (folder / "p.png").string();
    const std::string named = (folder / "named.txt").string();
    const std::string out = (folder / "out.litematic").string();
    struct Case {
        std::vector<std::string> args;
        int code;
        std::string says;
    };
    const Case cases[] = {
        {{"--blocks", "modern", "--exclude", "fals"}, EXIT_USAGE,
         "--exclude: no block, family or flag is called \"fals\"; close: falls"},
        {{"--blocks", "modern", "--only", "wool", "--exclude", "wool"}, EXIT_USAGE,
         "--only and --exclude leave none of the"},
        {{"--blocks", "modern", "--mc-version", "1.16.5", "--only", "copper"}, EXIT_USAGE,
         "--only and --exclude leave none of the"},
        {{"--blocks", "ancient"}, EXIT_USAGE, "--blocks takes modern"},
        {{"--blocks", "modern", "--palette", named}, EXIT_USAGE, "--palette and --blocks both name the table"},
        {{"--palette", named, "--mc-version", "1.16.5"}, EXIT_FILE_FAILED,
         "named.txt: color table line 3: minecraft:cherry_planks is no block in Minecraft 1.16.5"},
        {{"--palette", named, "-o", (folder / "out.schematic").string()}, EXIT_FILE_FAILED,
         "out.schematic: " + named + ": color table line 3: minecraft:cherry_planks has no numeric id, which a .schematic needs; "
         "write .schem, .litematic or .nbt"},
        {{"--blocks", "modern", "--only", "concrete", "--exclude", "black_concrete", "-o",
          (folder / "out.schematic").string()},
         EXIT_FILE_FAILED, "minecraft:blue_concrete (entry 1) has no numeric id"},
    };
    for (const Case& c : cases) {
        std::vector<std::string> args = {"convert", picture, "-o", out};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const auto result = RunCli(args);
        EXPECT_EQ(result.code, c.code) << c.says << "\n" << result.err;
        EXPECT_TRUE(Has(result.err, c.says)) << result.err;
        EXPECT_FALSE(fs::exists(out)) << c.says;
        EXPECT_FALSE(fs::exists(folder / "out.schematic")) << c.says;
    }
    const auto older = RunCli({"convert", picture, "-o", out, "--blocks", "modern", "--mc-version", "1.16.5"});
    EXPECT_EQ(older.code, EXIT_DONE) << older.err;
    EXPECT_TRUE(Has(older.err, "more left out: Minecraft 1.16.5 does not have them")) << older.err;
}

// The list on standard output and the CSV count what the written file holds, block by block.
TEST(BlockChoiceCommand, MaterialsCountWhatTheFileHolds) {
    TempFolder folder;
    const fs::path art = folder / "art.litematic";
    const std::string photo = std::string(TESSELBOX_CLI_TEST_SOURCE) + "/sample.jpg";
    const auto result = RunCli({"convert", "-q", "--blocks", "modern", "--match", "perceptual", "--exclude",
                                "busy,creative-only", photo, "-o", art.string(),
                                "--materials", "--materials-csv", (folder / "m.csv").string()});
    ASSERT_EQ(result.code, EXIT_DONE) << result.err;
    std::string nbt, error;
    ASSERT_TRUE(testing::Gunzip(ReadBytes(art), nbt));
    const testing::DecodedFile file = testing::DecodeLitematic(testing::ReadNbt(nbt, error));
    ASSERT_EQ(file.error + error, "");
    std::map<std::string, std::uint64_t> inFile;
    for (const std::string& cell : file.cells) {
        if (cell != "minecraft:air") ++inFile[cell];
    }
    ASSERT_GT(inFile.size(), 10u);

    std::map<std::string, std::uint64_t> inCsv;
    std::istringstream csv(ReadBytes(folder / "m.csv"));
    std::string row;
    std::getline(csv, row);
    EXPECT_EQ(row, "block,name in that version,name,count,stacks of 64,left over,shulker boxes,stacks besides the boxes");
    while (std::getline(csv, row)) {
        std::vector<std::string> fields;
        std::istringstream split(row);
        for (std::string field; std::getline(split, field, ',');) fields.push_back(field);
        ASSERT_EQ(fields.size(), 8u) << row;
        const std::uint64_t count = std::stoull(fields[3]), stacks = std::stoull(fields[4]);
        EXPECT_EQ(count, stacks * 64 + std::stoull(fields[5])) << row;
        EXPECT_EQ(stacks, std::stoull(fields[6]) * 27 + std::stoull(fields[7])) << row;
        const blocks::ModernBlock* block = blocks::FindModernBlock(fields[0]);
        ASSERT_NE(block, nullptr) << row;
        EXPECT_EQ(block->flags & (blocks::BUSY | blocks::CREATIVE_ONLY), 0u) << row;
        inCsv[fields[0]] = count;
        // The printed line for the same block says the same count.
        EXPECT_TRUE(Has(result.out, fields[3] + "  " + fields[0] + " ")) << fields[0];
    }
    EXPECT_EQ(inCsv, inFile);
}

// A wall shows the blocks' sides: the bark of a birch log, which its top (the cut rings) is not.
TEST(BlockChoiceCommand, AWallMatchesTheSideFaces) {
    TempFolder folder;
    const blocks::ModernBlock* log = blocks::FindModernBlock("minecraft:birch_log");
    ASSERT_NE(log, nullptr);
    ASSERT_NE(log->top, log->side);
    testing::SavePicture(testing::MakeImage(1, 1, [&](int, int) { return qRgb(log->side[0], log->side[1], log->side[2]); }),
                         folder / "bark.png");
    for (const char* orientation : {"floor", "wall"}) {
        const fs::path art = folder / (std::string(orientation) + ".litematic");
        const auto result = RunCli({"convert", "-q", "--blocks", "modern", "--only", "logs-and-wood", "--orientation",
                                    orientation, (folder / "bark.png").string(), "-o", art.string()});
        ASSERT_EQ(result.code, EXIT_DONE) << result.err;
        std::string nbt, error;
        ASSERT_TRUE(testing::Gunzip(ReadBytes(art), nbt));
        const testing::DecodedFile file = testing::DecodeLitematic(testing::ReadNbt(nbt, error));
        ASSERT_EQ(file.error + error, "");
        ASSERT_EQ(file.cells.size(), 1u);
        // On the floor the exact top color is birch wood (bark all round); on a wall, the log's side.
        EXPECT_EQ(file.cells[0].starts_with("minecraft:birch_log"), std::string(orientation) == "wall")
            << orientation << ": " << file.cells[0];
    }
}

}  // namespace
}  // namespace tesselbox::cli
