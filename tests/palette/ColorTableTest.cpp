#include "palette/ColorTable.h"
#include "tests/support/TempFolder.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tesselbox {
namespace {

struct Entry {
    int id, data, red, green, blue;
    friend bool operator==(const Entry&, const Entry&) = default;
};

void PrintTo(const Entry& e, std::ostream* os) {
    *os << e.id << "," << e.data << "," << e.red << "," << e.green << "," << e.blue;
}

std::vector<Entry> EntriesOf(const ColorTable& table) {
    std::vector<Entry> entries;
    for (std::int32_t i = 0; i < table.count; ++i) {
        const auto k = static_cast<std::size_t>(i);
        const Pixel c = table.colors[k];
        EXPECT_EQ(AlphaOf(c), 255);
        entries.push_back({table.blockIds[k], table.blockData[k], RedOf(c), GreenOf(c), BlueOf(c)});
    }
    return entries;
}

std::vector<Entry> Parse(std::string_view bytes) {
    ColorTable table;
    ParseColorTable(bytes, table);
    return EntriesOf(table);
}

struct ParseCase {
    const char* name;
    std::string bytes;
    std::vector<Entry> expected;
};

void PrintTo(const ParseCase& c, std::ostream* os) { *os << c.name; }

class ColorTableParse : public ::testing::TestWithParam<ParseCase> {};

TEST_P(ColorTableParse, YieldsExactlyTheseEntries) {
    EXPECT_EQ(Parse(GetParam().bytes), GetParam().expected);
}

const std::string ENTRY_THEN_BLANKS = "1,2,3,4,5" + std::string(6, ' ');  // 15 characters

INSTANTIATE_TEST_SUITE_P(
    Rules, ColorTableParse,
    ::testing::Values(
        ParseCase{"ExampleTable",
                  "1,0,125,125,125\n\nblock,data,red,green,blue\n35,14,150,52,48 red wool\n"
                  "  35, 15, 25, 22, 22\n35 ,1,234,130,55\n35,1,234,130\n+12,-1,256,300,-2\n",
                  {{1, 0, 125, 125, 125}, {35, 14, 150, 52, 48}, {35, 15, 25, 22, 22},
                   {12, 255, 0, 44, 254}}},
        ParseCase{"LastLineWithoutLineFeed", "x\n7,1,2,3,4", {{7, 1, 2, 3, 4}}},
        ParseCase{"CarriageReturnLineFeedLikeLineFeed", "1,2,3,4,5\r\n6,7,8,9,10\r\n",
                  {{1, 2, 3, 4, 5}, {6, 7, 8, 9, 10}}},
        // A lone CR is a character, not a line end: the second entry hides behind it.
        ParseCase{"LoneCarriageReturnIsNoLineEnd", "1,2,3,4,5\r6,7,8,9,10\n", {{1, 2, 3, 4, 5}}},
        ParseCase{"CarriageReturnBeforeCommaRejects", "1\r,2,3,4,5\n", {}},
        ParseCase{"SixthNumberAndWordsIgnored", "1,2,3,4,5,6\n1,2,3,4,5 words\n",
                  {{1, 2, 3, 4, 5}, {1, 2, 3, 4, 5}}},
        ParseCase{"WhiteSpaceBeforeNumbers", "\t\v\f 1,\t2, 3,\v4,\f5\n", {{1, 2, 3, 4, 5}}},
        ParseCase{"BlankBeforeCommaRejects", "1,2 ,3,4,5\n1,2,3,4 ,5\n", {}},
        ParseCase{"SignWithoutDigitRejects", "1,2,3,4,-\n1,2,3,4,- 5\n", {}},
        ParseCase{"DecimalPointInFourthFieldRejects", "1,2,3,1.5,5\n", {}},
        ParseCase{"HexInFourthFieldRejects", "1,2,3,0x10,5\n", {}},
        ParseCase{"HexInFifthFieldIsZero", "1,2,3,4,0x10\n", {{1, 2, 3, 4, 0}}},
        ParseCase{"ValuesModulo256",
                  "256,300,-1,-2,999999999999\n-256,+257,-255,2147483648,-2147483649\n",
                  {{0, 44, 255, 254, 999999999999 % 256}, {0, 1, 1, 0, 255}}},
        ParseCase{"FortyDigitNumber", "1,2,3,4,1234567890123456789012345678901234567890\n",
                  // 10^10 is divisible by 256, so only the last ten digits count.
                  {{1, 2, 3, 4, static_cast<int>(1234567890ULL % 256)}}},
        ParseCase{"ControlZEndsTheFile", "1,2,3,4,5\n\x1A" "6,7,8,9,10\n", {{1, 2, 3, 4, 5}}},
        ParseCase{"ControlZInsideALine", "1,2,3,4,5\x1A" "6\n", {{1, 2, 3, 4, 5}}},
        ParseCase{"NulEndsThePieceForParsing", std::string("1,2,3,4,5\0garbage\n6,7", 21) + ",8,9,10\n",
                  {{1, 2, 3, 4, 5}, {6, 7, 8, 9, 10}}},
        ParseCase{"NulInsideTheNumbersRejects", std::string("1,2\0,3,4,5\n", 11), {}},
        // 15 + 84 = 99 characters form one piece; the second entry starts the next.
        ParseCase{"LongLineSplitsInto99CharacterPieces",
                  ENTRY_THEN_BLANKS + std::string(84, ' ') + "6,7,8,9,10\n",
                  {{1, 2, 3, 4, 5}, {6, 7, 8, 9, 10}}},
        // The cut falls inside "12345": the piece keeps "12", the rest starts the next piece.
        ParseCase{"NumberCutAtThePieceLimit",
                  std::string(89, ' ') + "1,2,3,4,12345\n",
                  {{1, 2, 3, 4, 12}}},
        ParseCase{"EntryEndingAtCharacter99ThenLoneLineFeed",
                  std::string(90, ' ') + "1,2,3,4,5\n6,7,8,9,10\n",
                  {{1, 2, 3, 4, 5}, {6, 7, 8, 9, 10}}},
        ParseCase{"CrLfTranslatedBeforeCounting", std::string(89, ' ') + "1,2,3,4,5\r\n6,7,8,9,10",
                  {{1, 2, 3, 4, 5}, {6, 7, 8, 9, 10}}},
        ParseCase{"DuplicatesKeptInOrder", "1,0,9,9,9\n2,0,9,9,9\n",
                  {{1, 0, 9, 9, 9}, {2, 0, 9, 9, 9}}},
        ParseCase{"Utf8ByteOrderMarkHidesTheFirstLine", "\xEF\xBB\xBF" "1,2,3,4,5\n6,7,8,9,10\n",
                  {{6, 7, 8, 9, 10}}},
        ParseCase{"EmptyFile", "", {}},
        ParseCase{"OnlyWords", "block,data,red,green,blue\nremarks only\n", {}}),
    [](const auto& test) { return std::string(test.param.name); });

TEST(ColorTableCapacity, KeepsTheFirst1000AndCountsTheRest) {
    std::string bytes;
    for (int i = 0; i < 1500; ++i) bytes += std::to_string(i) + ",0,1,2,3\n";
    ColorTable table;
    const ColorTableLoad load = ParseColorTable(bytes, table);
    EXPECT_TRUE(load.ok());
    EXPECT_EQ(table.count, MAX_COLORS);
    EXPECT_EQ(load.ignoredEntries, 500u);
    EXPECT_EQ(table.blockIds[999], 999 % 256);
}

TEST(ColorTableChunks, FeedingByteByByteGivesTheSameTable) {
    // Chunk borders must not split a CR LF pair or a piece differently.
    const std::string bytes = "1,2,3,4,5\r\n" + std::string(95, ' ') + "\r\n7,8,9,10,11\r";
    ColorTable whole;
    ParseColorTable(bytes, whole);
    ColorTable pieces;
    ColorTableReader reader(pieces);
    for (char c : bytes) reader.Feed(std::string_view(&c, 1));
    reader.Finish();
    EXPECT_EQ(EntriesOf(pieces), EntriesOf(whole));
    EXPECT_EQ(EntriesOf(whole), (std::vector<Entry>{{1, 2, 3, 4, 5}, {7, 8, 9, 10, 11}}));
}

TEST(ColorTableNames, AreWhatFollowsTheFiveNumbers) {
    ColorTable table;
    ParseColorTable("35,14,161,39,35,Red Wool\r\n1,0,1,1,1   Stone  \n2,0,2,2,2\n", table);
    ASSERT_EQ(table.count, 3);
    EXPECT_EQ(table.names[0], "Red Wool");
    EXPECT_EQ(table.names[1], "Stone");
    EXPECT_EQ(table.names[2], "");
}

TEST(ColorTableFile, ReportsWhyItFailed) {
    testing::TempFolder folder;
    struct Case {
        const char* name;
        std::filesystem::path path;
        ColorTableStatus status;
    };
    testing::WriteBytes(folder / "words.txt", "only words\n");
    testing::WriteBytes(folder / "good.txt", "1,2,3,4,5\n");
    std::filesystem::create_directory(folder / "Colors.txt");
    const Case cases[] = {
        {"missing", folder / "missing.txt", ColorTableStatus::CannotOpen},
        {"folder", folder / "Colors.txt", ColorTableStatus::CannotOpen},
        {"no entry", folder / "words.txt", ColorTableStatus::NoEntry},
        {"good", folder / "good.txt", ColorTableStatus::Ok},
    };
    for (const Case& c : cases) {
        ColorTable table;
        const ColorTableLoad load = LoadColorTableFile(c.path, table);
        EXPECT_EQ(load.status, c.status) << c.name;
        EXPECT_EQ(load.ok(), table.count > 0) << c.name;
        if (!load.ok()) {
            EXPECT_NE(load.message.find(c.path.filename().string()), std::string::npos) << c.name;
        }
    }
}

TEST(ColorTableFile, TheRepositoryPaletteLoadsWithUniqueColors) {
    ColorTable table;
    ASSERT_TRUE(LoadColorTableFile(std::filesystem::path(TESSELBOX_SOURCE_DIR) / "Colors.txt", table).ok());
    EXPECT_GT(table.count, 100);
    for (std::int32_t i = 0; i < table.count; ++i) {
        EXPECT_FALSE(table.names[static_cast<std::size_t>(i)].empty()) << i;
        for (std::int32_t j = 0; j < i; ++j) {
            EXPECT_NE(table.colors[static_cast<std::size_t>(i)], table.colors[static_cast<std::size_t>(j)])
                << "entries " << j << " and " << i;
        }
    }
}

}  // namespace
}  // namespace tesselbox

namespace tesselbox {
namespace {

// A named line beside numbered ones: what each entry holds, or the one fault that stops the table.
struct NamedCase {
    const char* name;
    std::string bytes;
    std::vector<std::string> entries;  // "state r,g,b name" or "id:data r,g,b name"
    std::string error = {};            // the message's part after "color table: "
};

void PrintTo(const NamedCase& c, std::ostream* os) { *os << c.name; }

std::vector<std::string> Described(const ColorTable& table) {
    std::vector<std::string> entries;
    for (std::size_t i = 0; i < static_cast<std::size_t>(table.count); ++i) {
        const Pixel c = table.colors[i];
        std::string block = table.blockStates[i].empty()
                                ? std::to_string(table.blockIds[i]) + ":" + std::to_string(table.blockData[i])
                                : table.blockStates[i];
        entries.push_back(block + " " + std::to_string(RedOf(c)) + "," + std::to_string(GreenOf(c)) + "," +
                          std::to_string(BlueOf(c)) + " " + table.names[i]);
    }
    return entries;
}

class NamedLines : public ::testing::TestWithParam<NamedCase> {};

TEST_P(NamedLines, ReadAsNamedOrStopTheTable) {
    ColorTable table;
    const ColorTableLoad load = ParseColorTable(GetParam().bytes, table);
    if (GetParam().error.empty()) {
        EXPECT_TRUE(load.ok()) << load.message;
        EXPECT_EQ(Described(table), GetParam().entries);
    } else {
        EXPECT_EQ(load.status, ColorTableStatus::BadLine);
        EXPECT_EQ(load.message, "color table: " + GetParam().error);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Rules, NamedLines,
    ::testing::Values(
        NamedCase{"MixedWithNumbered",
                  "block,red,green,blue\nminecraft:cherry_planks,226,178,172,Cherry Planks\n35,14,161,39,35\r\n"
                  "  minecraft:oak_log[axis=y,x_y=1],109,85,50\n",
                  {"minecraft:cherry_planks 226,178,172 Cherry Planks", "35:14 161,39,35 ",
                   "minecraft:oak_log[axis=y,x_y=1] 109,85,50 "}},
        NamedCase{"NumbersKeepTheirRules",
                  "minecraft:stone, +256,-1, 300 rest\n\xEF\xBB\xBFminecraft:dirt,1,2,3\n",
                  {"minecraft:stone 0,255,44 rest"}},  // a mark is only skipped before line 1
        NamedCase{"ByteOrderMarkBeforeTheFirstName", "\xEF\xBB\xBFminecraft:dirt,1,2,3\n",
                  {"minecraft:dirt 1,2,3 "}},
        NamedCase{"NotNamesAreSkippedAsAlways",
                  "Note: a remark\nnote: lower\nhttp://example.org/x y\n35:14,1,2,3\nminecraft:stone ,1,2,3\n"
                  "1,0,5,5,5\n",
                  {"1:0 5,5,5 "}},
        NamedCase{"MissingColor", "1,0,5,5,5\nminecraft:stone,1,2\n", {},
                  "line 2: minecraft:stone needs red, green and blue after it: "
                  "\"minecraft:stone,red,green,blue[,name]\""},
        NamedCase{"NameAlone", "minecraft:stone\n", {},
                  "line 1: minecraft:stone needs red, green and blue after it: "
                  "\"minecraft:stone,red,green,blue[,name]\""},
        NamedCase{"UnclosedProperties", "\n\nminecraft:oak_log[axis=y,1,2,3\n", {},
                  "line 3: the properties after the name are not closed with ]"},
        NamedCase{"PropertyWithoutValue", "minecraft:oak_log[axis],1,2,3\n", {},
                  "line 1: the property \"axis\" is not key=value (lower-case letters, digits, _)"},
        NamedCase{"EmptyProperties", "minecraft:oak_log[],1,2,3\n", {},
                  "line 1: [] names no property; leave the brackets out"}));

TEST(NamedLines, ANameRepeatedWithAnotherColorIsNotedAndBothStay) {
    ColorTable table;
    const ColorTableLoad load = ParseColorTable(
        "minecraft:stone,1,2,3\nminecraft:dirt,4,5,6\nminecraft:stone,1,2,3\nminecraft:stone,9,9,9\n", table);
    ASSERT_TRUE(load.ok());
    EXPECT_EQ(table.count, 4);
    EXPECT_EQ(load.notes, std::vector<std::string>{
                              "color table: line 4: minecraft:stone is also on line 1 with another color; both "
                              "colors place it, and a color as near to both goes to line 1"});
}

TEST(NamedLines, CountTowardTheThousandEntries) {
    std::string bytes;
    for (int i = 0; i < 600; ++i) bytes += "1,0,1,2,3\nminecraft:stone,4,5,6\n";
    ColorTable table;
    const ColorTableLoad load = ParseColorTable(bytes, table);
    EXPECT_EQ(table.count, MAX_COLORS);
    EXPECT_EQ(load.ignoredEntries, 200u);
    EXPECT_EQ(table.blockStates[999], "minecraft:stone");
    EXPECT_TRUE(HasNamedEntries(table));
}

}  // namespace
}  // namespace tesselbox
