#include "formats/BlockFile.h"
#include "tests/support/BlockFileReading.h"
#include "tests/support/TempFolder.h"

#include <gtest/gtest.h>

#include <fstream>
#include <set>
#include <string>
#include <vector>

namespace tesselbox {
namespace {

using testing::ReadBytes;
using testing::TempFolder;

// ---- Expected NBT, written out field by field -------------------------------------------------

std::string Bytes(std::initializer_list<int> bytes) {
    std::string s;
    for (int b : bytes) s.push_back(static_cast<char>(b));
    return s;
}
std::string BigEndian(std::uint64_t value, int size) {
    std::string s;
    for (int i = size - 1; i >= 0; --i) s.push_back(static_cast<char>(value >> (8 * i)));
    return s;
}
std::string Text(std::string_view text) { return BigEndian(text.size(), 2) + std::string(text); }
std::string Tag(int type, std::string_view name) { return Bytes({type}) + Text(name); }
std::string Int(std::string_view name, std::int64_t v) { return Tag(3, name) + BigEndian(static_cast<std::uint64_t>(v), 4); }
std::string Short(std::string_view name, int v) { return Tag(2, name) + BigEndian(static_cast<std::uint64_t>(v), 2); }
std::string Long(std::string_view name, std::int64_t v) { return Tag(4, name) + BigEndian(static_cast<std::uint64_t>(v), 8); }
std::string String(std::string_view name, std::string_view v) { return Tag(8, name) + Text(v); }
std::string EmptyList(std::string_view name) { return Tag(9, name) + Bytes({10, 0, 0, 0, 0}); }
std::string XYZ(std::string_view name, int x, int y, int z) {
    return Tag(10, name) + Int("x", x) + Int("y", y) + Int("z", z) + Bytes({0});
}
const std::string END = Bytes({0});

constexpr std::int64_t TIME = 1700000000000;  // 2023-11-14, ms

ColorTable TableWith(std::initializer_list<std::pair<int, int>> idAndData) {
    ColorTable table;
    for (auto [id, data] : idAndData) {
        const auto i = static_cast<std::size_t>(table.count++);
        table.blockIds[i] = static_cast<std::uint8_t>(id);
        table.blockData[i] = static_cast<std::uint8_t>(data);
        table.colors[i] = MakePixel(static_cast<std::uint8_t>(10 * i + 10), 0, 0);
    }
    return table;
}

// n table entries with distinct block states in every version.
ColorTable DistinctTable(int n) {
    ColorTable table;
    std::set<std::string> seen;
    for (int id = 1; id < 256 && table.count < n; ++id) {
        for (int data = 0; data < 16 && table.count < n; ++data) {
            const std::string_view state = LegacyBlockState(static_cast<std::uint8_t>(id), static_cast<std::uint8_t>(data));
            if (state.empty() || !seen.insert(std::string(state.substr(0, state.find('[')))).second) continue;
            const auto i = static_cast<std::size_t>(table.count++);
            table.blockIds[i] = static_cast<std::uint8_t>(id);
            table.blockData[i] = static_cast<std::uint8_t>(data);
        }
    }
    return table;
}

std::string WriteAndGunzip(const BlockFileSource& source, const BlockFileOptions& options) {
    TempFolder folder;
    const BlockFileOutcome outcome = WriteBlockFile(folder / "out", source, options);
    EXPECT_TRUE(outcome.ok()) << outcome.message;
    std::string nbt;
    EXPECT_TRUE(testing::Gunzip(ReadBytes(folder / "out"), nbt));
    return nbt;
}

// ---- Annotated bytes --------------------------------------------------------------------------

// Two by two: the top picture row is red wool twice, the bottom one grass and a transparent cell.
const ColorTable TINY_TABLE = TableWith({{35, 14}, {2, 0}});
const std::int32_t TINY_GRID[] = {1, NO_BLOCK, 0, 0};  // bottom row first
const BlockFileSource TINY{2, 2, TINY_GRID, &TINY_TABLE};

BlockFileOptions Options(BlockFileFormat format, int schemVersion = 2) {
    BlockFileOptions options;
    options.format = format;
    options.gameVersion = FindGameVersion("1.20.4");
    options.schemVersion = schemVersion;
    options.name = "Tiny";
    options.timeMillis = TIME;
    return options;
}

// Most used first (red wool, twice), then ties in table order with air first.
std::string SchemPalette() {
    return Tag(10, "Palette") + Int("minecraft:red_wool", 0) + Int("minecraft:air", 1) +
           Int("minecraft:grass_block[snowy=false]", 2) + END;
}
std::string SchemHead(int version) {
    return Int("Version", version) + Int("DataVersion", 3700) +
           Tag(10, "Metadata") + String("Name", "Tiny") + Long("Date", TIME) + END +
           Short("Width", 2) + Short("Height", 1) + Short("Length", 2) +
           Tag(11, "Offset") + BigEndian(3, 4) + BigEndian(0, 4) + BigEndian(0, 4) + BigEndian(0, 4);
}
// x + z·Width: top row (z = 0) first; palette indices as one-byte varints.
const std::string TINY_CELLS = BigEndian(4, 4) + Bytes({0, 0, 2, 1});

TEST(BlockFileBytes, SchemVersion2) {
    const std::string expected = Tag(10, "Schematic") + SchemHead(2) + Int("PaletteMax", 3) + SchemPalette() +
                                 Tag(7, "BlockData") + TINY_CELLS + EmptyList("BlockEntities") + END;
    EXPECT_EQ(WriteAndGunzip(TINY, Options(BlockFileFormat::Schem, 2)), expected);
}

TEST(BlockFileBytes, SchemVersion3NestsTheSchematicAndItsBlocks) {
    const std::string expected = Tag(10, "") + Tag(10, "Schematic") + SchemHead(3) +
                                 Tag(10, "Blocks") + SchemPalette() + Tag(7, "Data") + TINY_CELLS +
                                 EmptyList("BlockEntities") + END + END + END;
    EXPECT_EQ(WriteAndGunzip(TINY, Options(BlockFileFormat::Schem, 3)), expected);
}

TEST(BlockFileBytes, Litematic) {
    const std::string preview = Tag(11, "PreviewImageData") + BigEndian(4, 4) +  // 2 x 2, ARGB, top row first
                                BigEndian(0xFF0A0000, 4) + BigEndian(0xFF0A0000, 4) +
                                BigEndian(0xFF140000, 4) + BigEndian(0, 4);
    const std::string palette = Tag(9, "BlockStatePalette") + Bytes({10}) + BigEndian(3, 4) +
                                String("Name", "minecraft:air") + END +
                                String("Name", "minecraft:red_wool") + END +
                                String("Name", "minecraft:grass_block") +
                                Tag(10, "Properties") + String("snowy", "false") + END + END;
    // Two bits an entry, low bits first: 1, 1, 2, 0 -> 0b00_10_01_01.
    const std::string states = Tag(12, "BlockStates") + BigEndian(1, 4) + BigEndian(0x25, 8);
    const std::string expected =
        Tag(10, "") + Int("MinecraftDataVersion", 3700) + Int("Version", 6) + Int("SubVersion", 1) +
        Tag(10, "Metadata") + String("Name", "Tiny") + String("Author", "Tesselbox") + String("Description", "") +
        Int("RegionCount", 1) + Int("TotalVolume", 4) + Int("TotalBlocks", 3) + Long("TimeCreated", TIME) +
        Long("TimeModified", TIME) + XYZ("EnclosingSize", 2, 1, 2) + preview + END +
        Tag(10, "Regions") + Tag(10, "Tiny") + XYZ("Position", 0, 0, 0) + XYZ("Size", 2, 1, 2) + palette + states +
        EmptyList("TileEntities") + EmptyList("Entities") + EmptyList("PendingBlockTicks") +
        EmptyList("PendingFluidTicks") + END + END + END;
    EXPECT_EQ(WriteAndGunzip(TINY, Options(BlockFileFormat::Litematic)), expected);
}

// Java's structure file: only the three blocks, each with its place; no air in palette or list.
TEST(BlockFileBytes, JavaStructure) {
    const auto ints = [](std::initializer_list<int> values) {
        std::string s = Bytes({3}) + BigEndian(values.size(), 4);
        for (int v : values) s += BigEndian(static_cast<std::uint64_t>(v), 4);
        return s;
    };
    const auto block = [&](int x, int y, int z, int state) {
        return Tag(9, "pos") + ints({x, y, z}) + Int("state", state) + END;
    };
    const std::string head = Tag(10, "") + Int("DataVersion", 3700);
    const std::string palette = Tag(9, "palette") + Bytes({10}) + BigEndian(2, 4) +
                                String("Name", "minecraft:red_wool") + END +
                                String("Name", "minecraft:grass_block") + Tag(10, "Properties") +
                                String("snowy", "false") + END + END;
    // Floor: z counts picture rows from the top; the transparent cell (1, 0, 1) is not listed.
    EXPECT_EQ(WriteAndGunzip(TINY, Options(BlockFileFormat::Nbt)),
              head + Tag(9, "size") + ints({2, 1, 2}) + palette + Tag(9, "blocks") + Bytes({10}) + BigEndian(3, 4) +
                  block(0, 0, 0, 0) + block(1, 0, 0, 0) + block(0, 0, 1, 1) + EmptyList("entities") + END);
    // Wall: y counts rows from the bottom, z is 0.
    BlockFileOptions wall = Options(BlockFileFormat::Nbt);
    wall.orientation = Orientation::Wall;
    EXPECT_EQ(WriteAndGunzip(TINY, wall),
              head + Tag(9, "size") + ints({2, 2, 1}) + palette + Tag(9, "blocks") + Bytes({10}) + BigEndian(3, 4) +
                  block(0, 0, 0, 1) + block(0, 1, 0, 0) + block(1, 1, 0, 0) + EmptyList("entities") + END);
}

// Bedrock's structure file: little-endian and uncompressed, the names of the version asked for.
TEST(BlockFileBytes, BedrockStructure) {
    const auto little = [](std::int64_t value, int size) {
        std::string s;
        for (int i = 0; i < size; ++i) s.push_back(static_cast<char>(static_cast<std::uint64_t>(value) >> (8 * i)));
        return s;
    };
    const auto tag = [&](int type, std::string_view name) { return Bytes({type}) + little(static_cast<std::int64_t>(name.size()), 2) + std::string(name); };
    const auto integer = [&](std::string_view name, std::int64_t v) { return tag(3, name) + little(v, 4); };
    const auto text = [&](std::string_view name, std::string_view v) {
        return tag(8, name) + little(static_cast<std::int64_t>(v.size()), 2) + std::string(v);
    };
    const auto ints = [&](std::initializer_list<int> values) {  // a list's payload: type, count, ints
        std::string s = Bytes({3}) + little(static_cast<std::int64_t>(values.size()), 4);
        for (int v : values) s += little(v, 4);
        return s;
    };
    const BedrockVersion* version = FindBedrockVersion("1.19.1");
    ASSERT_NE(version, nullptr);
    const std::string palette =
        tag(9, "block_palette") + Bytes({10}) + little(2, 4) +
        text("name", "minecraft:wool") + tag(10, "states") + text("color", "red") + END +
        integer("version", version->blockVersion) + END +
        text("name", "minecraft:grass") + tag(10, "states") + END + integer("version", version->blockVersion) + END;
    const auto file = [&](std::initializer_list<int> size, std::initializer_list<int> layer, std::initializer_list<int> empty) {
        return tag(10, "") + integer("format_version", 1) + tag(9, "size") + ints(size) +
               tag(10, "structure") + tag(9, "block_indices") + Bytes({9}) + little(2, 4) + ints(layer) + ints(empty) +
               tag(9, "entities") + Bytes({10}) + little(0, 4) +
               tag(10, "palette") + tag(10, "default") + palette + tag(10, "block_position_data") + END + END + END +
               END + tag(9, "structure_world_origin") + ints({0, 0, 0}) + END;
    };
    BlockFileOptions options = Options(BlockFileFormat::McStructure);
    options.bedrockVersion = version;
    TempFolder folder;
    // Floor: x slowest, z (rows from the top) fastest; -1 where the picture is transparent.
    ASSERT_TRUE(WriteBlockFile(folder / "floor", TINY, options).ok());
    EXPECT_EQ(ReadBytes(folder / "floor"), file({2, 1, 2}, {0, 1, 0, -1}, {-1, -1, -1, -1}));
    // Wall: x slowest, y (rows from the bottom) next.
    options.orientation = Orientation::Wall;
    ASSERT_TRUE(WriteBlockFile(folder / "wall", TINY, options).ok());
    EXPECT_EQ(ReadBytes(folder / "wall"), file({2, 2, 1}, {1, 0, -1, 0}, {-1, -1, -1, -1}));
}

// A wall's .schematic: Height is the picture's, Length 1, the bottom row first.
TEST(BlockFileBytes, SchematicWall) {
    BlockFileOptions options;
    options.orientation = Orientation::Wall;
    TempFolder folder;
    ASSERT_TRUE(WriteBlockFile(folder / "wall.schematic", TINY, options).ok());
    const std::string expected =
        Tag(10, "Schematic") + Short("Height", 2) + Short("Length", 1) + Short("Width", 2) + EmptyList("Entities") +
        EmptyList("TileEntities") + String("Materials", "Alpha") + Tag(7, "Blocks") + BigEndian(4, 4) +
        Bytes({2, 0, 35, 35}) + Tag(7, "Data") + BigEndian(4, 4) + Bytes({0, 0, 14, 14}) + END;
    EXPECT_EQ(ReadBytes(folder / "wall.schematic"), expected);
}

TEST(BlockFileBytes, LitematicEntryCrossesIntoTheNextLong) {
    // Five palette entries take three bits; cell 21 (= 3, 0b011) has its low bit in bit 63 of the
    // first long and the rest in the second. Cells: 0 1 2 3 4 repeated, then 0 and 3.
    const ColorTable table = TableWith({{1, 0}, {3, 0}, {4, 0}, {5, 0}});
    std::vector<std::int32_t> grid(22);
    for (int x = 0; x < 22; ++x) grid[static_cast<std::size_t>(x)] = x % 5 - 1;
    grid[21] = 2;
    const std::string nbt = WriteAndGunzip({22, 1, grid.data(), &table}, Options(BlockFileFormat::Litematic));
    const std::string states = Tag(12, "BlockStates") + BigEndian(2, 4) + BigEndian(0x88d111a223444688, 8) +
                               BigEndian(1, 8);
    EXPECT_NE(nbt.find(states), std::string::npos);
}

// ---- Against our reader -------------------------------------------------------------------------

// Each format, read back cell by cell, with a palette past 128 entries (two-byte varints) and past
// 256 (nine bits an entry, crossing longs), and for the oldest and newest game versions.
TEST(BlockFileRead, EveryFormatRoundTrips) {
    for (const int entries : {3, 130, 300}) {
        const ColorTable table = DistinctTable(entries);
        ASSERT_EQ(table.count, entries);
        const std::uint32_t width = 41, height = 13;  // odd sizes, more cells than entries
        std::vector<std::int32_t> grid(std::size_t{width} * height);
        for (std::size_t i = 0; i < grid.size(); ++i) grid[i] = static_cast<std::int32_t>((i * 11) % static_cast<std::size_t>(entries + 1)) - 1;  // every entry and air
        const BlockFileSource source{width, height, grid.data(), &table};
        for (const GameVersion* version : {&SupportedGameVersions().front(), &NewestGameVersion()}) {
            for (const auto& [format, schemVersion] : {std::pair{BlockFileFormat::Schem, 2},
                                                      std::pair{BlockFileFormat::Schem, 3},
                                                      std::pair{BlockFileFormat::Litematic, 2}}) {
                SCOPED_TRACE(std::to_string(entries) + " entries, " + std::string(version->name) + ", " +
                             std::string(FormatExtension(format)) + " " + std::to_string(schemVersion));
                BlockFileOptions options;
                options.format = format;
                options.gameVersion = version;
                options.schemVersion = schemVersion;
                std::string error;
                const testing::NbtNode root = testing::ReadNbt(WriteAndGunzip(source, options), error);
                ASSERT_EQ(error, "");
                const testing::DecodedFile file = format == BlockFileFormat::Schem ? testing::DecodeSchem(root)
                                                                                   : testing::DecodeLitematic(root);
                ASSERT_EQ(file.error, "");
                EXPECT_EQ(file.dataVersion, version->dataVersion);
                EXPECT_EQ(file.width, width);
                EXPECT_EQ(file.height, 1);
                EXPECT_EQ(file.length, height);
                EXPECT_EQ(file.cells, testing::ExpectedCells(source, *version));
            }
        }
    }
}

// The gzip .schematic is the plain file's bytes, compressed.
TEST(BlockFileRead, GzipSchematicHoldsThePlainBytes) {
    const ColorTable table = TableWith({{35, 14}, {0, 9}, {251, 3}});
    const std::vector<std::int32_t> grid = {0, 1, 2, NO_BLOCK, 2, 1};
    for (const auto& [width, height] : {std::pair{0u, 0u}, std::pair{3u, 2u}, std::pair{6u, 1u}, std::pair{1u, 6u}}) {
        const BlockFileSource source{width, height, grid.data(), &table};
        TempFolder folder;
        ASSERT_TRUE(WriteBlockFile(folder / "plain.schematic", source, {}).ok());
        BlockFileOptions options;
        options.gzip = true;
        EXPECT_EQ(WriteAndGunzip(source, options), ReadBytes(folder / "plain.schematic")) << width << " x " << height;
    }
}

// Blocks at several heights come back cell for cell in the file's own order (x, then z, then y),
// in both mod formats; a .schematic and a stack above the build height are refused.
TEST(BlockFileRead, VolumeRoundTripsAndIsRefusedWhereItCannotGo) {
    const ColorTable table = DistinctTable(5);
    const BlockVolume volume{3, 4, 2, nullptr};
    std::vector<std::int32_t> cells(std::size_t{volume.x} * volume.y * volume.z);
    for (std::size_t i = 0; i < cells.size(); ++i) cells[i] = static_cast<std::int32_t>(i * 7 % 6) - 1;
    const BlockVolume filled{volume.x, volume.y, volume.z, cells.data()};
    const std::int32_t top[] = {0, 1, 2, 3, 4, 0};
    const BlockFileSource source{3, 2, top, &table, &filled};
    const GameVersion& version = NewestGameVersion();
    std::vector<std::string> expected;
    for (const std::int32_t cell : cells) {
        BlockState state{"minecraft:air", {}};
        if (cell != NO_BLOCK) BlockStateFor(table.blockIds[static_cast<std::size_t>(cell)], table.blockData[static_cast<std::size_t>(cell)], version, state);
        expected.push_back(state.ToString());
    }
    for (const auto& [format, schemVersion] : {std::pair{BlockFileFormat::Schem, 2}, std::pair{BlockFileFormat::Schem, 3},
                                              std::pair{BlockFileFormat::Litematic, 2}}) {
        SCOPED_TRACE(std::string(FormatExtension(format)) + " " + std::to_string(schemVersion));
        BlockFileOptions options;
        options.format = format;
        options.schemVersion = schemVersion;
        options.orientation = Orientation::Wall;  // a volume keeps its own axes
        std::string error;
        const testing::NbtNode root = testing::ReadNbt(WriteAndGunzip(source, options), error);
        ASSERT_EQ(error, "");
        const testing::DecodedFile file = format == BlockFileFormat::Schem ? testing::DecodeSchem(root) : testing::DecodeLitematic(root);
        ASSERT_EQ(file.error, "");
        EXPECT_EQ(file.width, 3);
        EXPECT_EQ(file.height, 4);
        EXPECT_EQ(file.length, 2);
        EXPECT_EQ(file.cells, expected);
    }
    BlockFileOptions schematic;
    EXPECT_EQ(CheckBlockFile(source, schematic).status, BlockFileStatus::BadOption);
    std::vector<std::int32_t> tall(257, 0);
    const BlockVolume tower{1, 257, 1, tall.data()};
    BlockFileOptions old;
    old.format = BlockFileFormat::Nbt;
    old.gameVersion = FindGameVersion("1.17.1");
    const BlockFileOutcome refused = CheckBlockFile({1, 1, top, &table, &tower}, old);
    EXPECT_EQ(refused.status, BlockFileStatus::TooLarge);
    EXPECT_NE(refused.message.find("art 257 blocks tall is higher than the build height of 256"), std::string::npos) << refused.message;
}

// ---- Refusals: a message naming the value and the limit, and the old file left as it was --------

struct RefusalCase {
    const char* name;
    BlockFileFormat format;
    int schemVersion;
    std::uint32_t width, height;
    std::pair<int, int> lastEntry;  // appended to a table of stone
    BlockFileStatus status;
    const char* message;
    Orientation orientation;
    const char* gameVersion;  // nullptr: the newest
};

void PrintTo(const RefusalCase& c, std::ostream* os) { *os << c.name; }

class BlockFileRefusal : public ::testing::TestWithParam<RefusalCase> {};

TEST_P(BlockFileRefusal, WritesNothing) {
    const RefusalCase& c = GetParam();
    ColorTable table;
    ASSERT_TRUE(ParseColorTable("1,0,1,2,3\n\n" + std::to_string(c.lastEntry.first) + "," +
                                    std::to_string(c.lastEntry.second) + ",4,5,6\n",
                                table)
                    .ok());
    // A refusal reads no cell, so the largest cases need no grid of their size.
    const std::uint64_t cells = std::uint64_t{c.width} * c.height;
    const std::vector<std::int32_t> grid(cells <= (1u << 20) ? cells : 1, 0);
    TempFolder folder;
    {
        std::ofstream(folder / "old", std::ios::binary) << "old content";
    }
    BlockFileOptions options;
    options.format = c.format;
    options.schemVersion = c.schemVersion;
    options.orientation = c.orientation;
    if (c.gameVersion != nullptr) options.gameVersion = FindGameVersion(c.gameVersion);
    const BlockFileOutcome outcome = WriteBlockFile(folder / "old", {c.width, c.height, grid.data(), &table}, options);
    EXPECT_EQ(outcome.status, c.status);
    EXPECT_NE(outcome.message.find(c.message), std::string::npos) << outcome.message;
    EXPECT_EQ(ReadBytes(folder / "old"), "old content");
}

INSTANTIATE_TEST_SUITE_P(
    Cases, BlockFileRefusal,
    ::testing::Values(
        RefusalCase{"UnknownIdNamesTheLine", BlockFileFormat::Schem, 2, 1, 1, {253, 0}, BlockFileStatus::NoBlockName,
                    "color table line 3: block 253:0 has no block name in Minecraft 26.1", Orientation::Floor, nullptr},
        RefusalCase{"UnknownDataValue", BlockFileFormat::Litematic, 2, 1, 1, {1, 7}, BlockFileStatus::NoBlockName,
                    "line 3: block 1:7", Orientation::Floor, nullptr},
        RefusalCase{"NoBedrockBlockNamesTheLine", BlockFileFormat::McStructure, 2, 1, 1, {253, 0},
                    BlockFileStatus::NoBlockName, "color table line 3: block 253:0 has no block in Bedrock", Orientation::Floor, nullptr},
        RefusalCase{"SchemWiderThanUnsignedShort", BlockFileFormat::Schem, 2, 65536, 0, {1, 1}, BlockFileStatus::TooLarge,
                    "at most 65535 blocks; this picture is 65536 x 0", Orientation::Floor, nullptr},
        RefusalCase{"SchemOfNoWidth", BlockFileFormat::Schem, 2, 0, 5, {1, 1}, BlockFileStatus::Empty,
                    "a .schem needs at least one block each way; this picture is 0 x 5", Orientation::Floor, nullptr},
        RefusalCase{"LitematicOfNoLength", BlockFileFormat::Litematic, 2, 300, 0, {1, 1}, BlockFileStatus::Empty,
                    "a .litematic needs at least one block each way; this picture is 300 x 0", Orientation::Floor, nullptr},
        RefusalCase{"StructureOfNoLength", BlockFileFormat::Nbt, 2, 300, 0, {1, 1}, BlockFileStatus::Empty,
                    "a .nbt needs at least one block each way", Orientation::Floor, nullptr},
        RefusalCase{"SchematicSideLimitStillHolds", BlockFileFormat::Schematic, 2, 1, 32768, {1, 1},
                    BlockFileStatus::TooLarge, "at most 32767 blocks; this picture is 1 x 32768", Orientation::Floor, nullptr},
        RefusalCase{"SchemVersionOne", BlockFileFormat::Schem, 1, 1, 1, {1, 1}, BlockFileStatus::BadOption,
                    "version 2 or 3, not 1", Orientation::Floor, nullptr},
        RefusalCase{"JavaStructureOverWhatTheGameLoads", BlockFileFormat::Nbt, 2, 4097, 4096, {1, 1},
                    BlockFileStatus::TooLarge, ".nbt holds at most 16777216 blocks; this picture is 4097 x 4096", Orientation::Floor, nullptr},
        RefusalCase{"BedrockStructureOverWhatTheGameLoads", BlockFileFormat::McStructure, 2, 4096, 4097, {1, 1},
                    BlockFileStatus::TooLarge, ".mcstructure holds at most 16777216 blocks", Orientation::Floor, nullptr},
        RefusalCase{"WallAboveTheBuildHeight", BlockFileFormat::Schematic, 2, 1, 385, {1, 1}, BlockFileStatus::TooLarge,
                    "a wall 385 blocks tall is higher than the build height of 384 blocks in Minecraft 26.1", Orientation::Wall, nullptr},
        RefusalCase{"WallAboveTheOldBuildHeight", BlockFileFormat::Schem, 2, 1, 257, {1, 1}, BlockFileStatus::TooLarge,
                    "a wall 257 blocks tall is higher than the build height of 256 blocks in Minecraft 1.17.1", Orientation::Wall, "1.17.1"},
        RefusalCase{"BedrockWallAboveTheBuildHeight", BlockFileFormat::McStructure, 2, 2, 385, {1, 1},
                    BlockFileStatus::TooLarge, "higher than the build height of 384 blocks in Minecraft Bedrock", Orientation::Wall, nullptr}),
    [](const ::testing::TestParamInfo<RefusalCase>& test) { return std::string(test.param.name); });

}  // namespace
}  // namespace tesselbox
