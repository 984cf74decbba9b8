#include "formats/BlockFile.h"
#include "tests/support/TempFolder.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tesselbox {
namespace {

using testing::ReadBytes;
using testing::TempFolder;

std::string Hex(const std::vector<int>& bytes) {
    std::string s;
    for (int b : bytes) s.push_back(static_cast<char>(b));
    return s;
}

// Annotated, field by field; Length, Width and the two array lengths are filled in.
std::string Header(int length, int width) {
    std::string h = Hex({0x0A, 0x00, 0x09}) + "Schematic";
    h += Hex({0x02, 0x00, 0x06}) + "Height" + Hex({0x00, 0x01});
    h += Hex({0x02, 0x00, 0x06}) + "Length" + Hex({length >> 8, length & 0xFF});
    h += Hex({0x02, 0x00, 0x05}) + "Width" + Hex({width >> 8, width & 0xFF});
    h += Hex({0x09, 0x00, 0x08}) + "Entities" + Hex({0x0A, 0, 0, 0, 0});
    h += Hex({0x09, 0x00, 0x0C}) + "TileEntities" + Hex({0x0A, 0, 0, 0, 0});
    h += Hex({0x08, 0x00, 0x09}) + "Materials" + Hex({0x00, 0x05}) + "Alpha";
    return h;
}

std::string ByteArray(const char* name, const std::vector<int>& cells) {
    const auto n = static_cast<int>(cells.size());
    return Hex({0x07, 0x00, static_cast<int>(std::string(name).size())}) + name +
           Hex({n >> 24, (n >> 16) & 0xFF, (n >> 8) & 0xFF, n & 0xFF}) + Hex(cells);
}

std::string Schematic(int width, int height, const std::vector<int>& blocks,
                      const std::vector<int>& data) {
    return Header(height, width) + ByteArray("Blocks", blocks) + ByteArray("Data", data) + Hex({0});
}

ColorTable TableWith(std::initializer_list<std::pair<int, int>> idAndData) {
    ColorTable table;
    for (auto [id, data] : idAndData) {
        const auto i = static_cast<std::size_t>(table.count++);
        table.blockIds[i] = static_cast<std::uint8_t>(id);
        table.blockData[i] = static_cast<std::uint8_t>(data);
    }
    return table;
}

std::string WriteToFile(const SchematicSource& source) {
    TempFolder folder;
    const BlockFileOutcome result = WriteBlockFile(folder / "out.schematic", source, {});
    EXPECT_TRUE(result.ok()) << result.message;
    return ReadBytes(folder / "out.schematic");
}

TEST(SchematicWriter, EmptyPictureIs124Bytes) {
    const ColorTable table = TableWith({{1, 0}});
    const std::string bytes = WriteToFile({0, 0, nullptr, &table});
    EXPECT_EQ(bytes.size(), 124u);
    EXPECT_EQ(bytes, Schematic(0, 0, {}, {}));
    EXPECT_EQ(SchematicFileSize(0, 0), 124u);
}

TEST(SchematicWriter, TwoByOneMatchesTheKnownFile) {
    const ColorTable table = TableWith({{35, 14}});
    const std::int32_t grid[] = {0, NO_BLOCK};
    const std::string expected = Hex({
        0x0A, 0x00, 0x09, 0x53, 0x63, 0x68, 0x65, 0x6D, 0x61, 0x74, 0x69, 0x63, 0x02, 0x00, 0x06, 0x48,
        0x65, 0x69, 0x67, 0x68, 0x74, 0x00, 0x01, 0x02, 0x00, 0x06, 0x4C, 0x65, 0x6E, 0x67, 0x74, 0x68,
        0x00, 0x01, 0x02, 0x00, 0x05, 0x57, 0x69, 0x64, 0x74, 0x68, 0x00, 0x02, 0x09, 0x00, 0x08, 0x45,
        0x6E, 0x74, 0x69, 0x74, 0x69, 0x65, 0x73, 0x0A, 0x00, 0x00, 0x00, 0x00, 0x09, 0x00, 0x0C, 0x54,
        0x69, 0x6C, 0x65, 0x45, 0x6E, 0x74, 0x69, 0x74, 0x69, 0x65, 0x73, 0x0A, 0x00, 0x00, 0x00, 0x00,
        0x08, 0x00, 0x09, 0x4D, 0x61, 0x74, 0x65, 0x72, 0x69, 0x61, 0x6C, 0x73, 0x00, 0x05, 0x41, 0x6C,
        0x70, 0x68, 0x61, 0x07, 0x00, 0x06, 0x42, 0x6C, 0x6F, 0x63, 0x6B, 0x73, 0x00, 0x00, 0x00, 0x02,
        0x23, 0x00, 0x07, 0x00, 0x04, 0x44, 0x61, 0x74, 0x61, 0x00, 0x00, 0x00, 0x02, 0x0E, 0x00, 0x00});
    EXPECT_EQ(WriteToFile({2, 1, grid, &table}), expected);
}

struct CellCase {
    const char* name;
    std::uint32_t width, height;
    std::vector<std::int32_t> grid;  // bottom picture row first
    std::vector<int> blocks, data;   // top picture row first
};

void PrintTo(const CellCase& c, std::ostream* os) { *os << c.name; }

class SchematicCells : public ::testing::TestWithParam<CellCase> {};

TEST_P(SchematicCells, RunTopRowFirst) {
    // Entry i: block id 10 + i, data value i; entry 6 is block 0 with data 9.
    const ColorTable table =
        TableWith({{10, 0}, {11, 1}, {12, 2}, {13, 3}, {14, 4}, {15, 5}, {0, 9}});
    const CellCase& c = GetParam();
    const std::string bytes = WriteToFile({c.width, c.height, c.grid.data(), &table});
    EXPECT_EQ(bytes.size(), SchematicFileSize(c.width, c.height));
    EXPECT_EQ(bytes, Schematic(static_cast<int>(c.width), static_cast<int>(c.height), c.blocks, c.data));
}

INSTANTIATE_TEST_SUITE_P(
    Grids, SchematicCells,
    ::testing::Values(
        CellCase{"ThreeByTwo", 3, 2, {0, 1, 2, 3, 4, 5}, {13, 14, 15, 10, 11, 12}, {3, 4, 5, 0, 1, 2}},
        CellCase{"AllTransparent", 2, 2, {NO_BLOCK, NO_BLOCK, NO_BLOCK, NO_BLOCK}, {0, 0, 0, 0}, {0, 0, 0, 0}},
        CellCase{"BlockZeroKeepsItsData", 2, 1, {6, NO_BLOCK}, {0, 0}, {9, 0}},
        CellCase{"OneColumn", 1, 3, {0, 1, 2}, {12, 11, 10}, {2, 1, 0}},
        CellCase{"WidthWithoutRows", 5, 0, {}, {}, {}}),
    [](const auto& test) { return std::string(test.param.name); });

TEST(SchematicWriter, LargestSideIsWrittenInFull) {
    const ColorTable table = TableWith({{1, 0}});
    const std::vector<std::int32_t> grid(MAX_PICTURE_SIDE, 0);
    const std::string bytes = WriteToFile({MAX_PICTURE_SIDE, 1, grid.data(), &table});
    ASSERT_EQ(bytes.size(), SchematicFileSize(MAX_PICTURE_SIDE, 1));
    EXPECT_EQ(bytes.substr(42, 2), Hex({0x7F, 0xFF}));  // Width 32767
}

TEST(SchematicWriter, RefusesSidesNbtCannotHold) {
    const ColorTable table = TableWith({{1, 0}});
    const std::vector<std::int32_t> grid(32768, 0);
    for (auto [w, h] : {std::pair{32768u, 1u}, std::pair{1u, 32768u}, std::pair{65536u, 0u}}) {
        TempFolder folder;
        const BlockFileOutcome outcome = WriteBlockFile(folder / "big.schematic", {w, h, grid.data(), &table}, {});
        EXPECT_EQ(outcome.status, BlockFileStatus::TooLarge) << w << " x " << h;
        EXPECT_NE(outcome.message.find("32767"), std::string::npos) << outcome.message;
        EXPECT_NE(outcome.message.find(std::to_string(std::max(w, h))), std::string::npos);
        EXPECT_FALSE(std::filesystem::exists(folder / "big.schematic"));
    }
}

}  // namespace
}  // namespace tesselbox
