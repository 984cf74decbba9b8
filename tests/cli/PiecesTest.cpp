// --split: every format's pieces, read back and joined at the offsets their guide gives, are the
// whole file block for block, on the floor and as a wall, for sides that divide the art evenly
// and sides that do not.
#include "tests/cli/CliTestSupport.h"
#include "tests/support/BlockFileReading.h"
#include "tests/support/TempFolder.h"

#include <gtest/gtest.h>

#include <array>
#include <fstream>
#include <map>
#include <regex>
#include <sstream>
#include <string>

namespace tesselbox::cli {
namespace {

namespace fs = std::filesystem;
using testing::CliResult;
using testing::MakeImage;
using testing::ReadBytes;
using testing::RunCli;
using testing::SavePicture;
using testing::TempFolder;

using Place = std::array<std::int64_t, 3>;  // x, y, z

struct Blocks {
    Place size{};
    std::map<Place, std::string> cells;  // only where a block is
};

// Any of the Java files, decoded with our test reader: air and the .schematic's 0:0 are no block.
Blocks Read(const fs::path& path, const std::string& extension) {
    Blocks blocks;
    std::string nbt = ReadBytes(path);
    if (extension != ".schematic") {
        std::string inflated;
        EXPECT_TRUE(testing::Gunzip(nbt, inflated)) << path;
        nbt = inflated;
    }
    std::string error;
    const testing::NbtNode root = testing::ReadNbt(nbt, error);
    EXPECT_EQ(error, "") << path;
    if (extension == ".nbt") {
        const testing::NbtNode* size = root.Find("size");
        const testing::NbtNode* palette = root.Find("palette");
        const testing::NbtNode* list = root.Find("blocks");
        if (size == nullptr || palette == nullptr || list == nullptr || size->children.size() != 3) {
            ADD_FAILURE() << path << ": no size, palette or blocks";
            return blocks;
        }
        for (int i = 0; i < 3; ++i) blocks.size[static_cast<std::size_t>(i)] = size->children[static_cast<std::size_t>(i)].number;
        for (const testing::NbtNode& block : list->children) {
            const testing::NbtNode* pos = block.Find("pos");
            const auto state = static_cast<std::size_t>(block.Find("state")->number);
            const testing::NbtNode* name = palette->children.at(state).Find("Name");
            blocks.cells[{pos->children[0].number, pos->children[1].number, pos->children[2].number}] = name->text;
        }
        return blocks;
    }
    testing::DecodedFile file;
    if (extension == ".schematic") {
        const testing::NbtNode* ids = root.Find("Blocks");
        const testing::NbtNode* data = root.Find("Data");
        file.width = root.Find("Width")->number;
        file.height = root.Find("Height")->number;
        file.length = root.Find("Length")->number;
        for (std::size_t i = 0; i < ids->values.size(); ++i) {
            file.cells.push_back(ids->values[i] == 0 && data->values[i] == 0
                                     ? "minecraft:air"
                                     : std::to_string(ids->values[i]) + ":" + std::to_string(data->values[i]));
        }
    } else {
        file = extension == ".schem" ? testing::DecodeSchem(root) : testing::DecodeLitematic(root);
    }
    EXPECT_EQ(file.error, "") << path;
    blocks.size = {file.width, file.height, file.length};
    // Every one of these formats runs x fastest, then z, then y.
    EXPECT_EQ(static_cast<std::int64_t>(file.cells.size()), file.width * file.height * file.length) << path;
    for (std::size_t i = 0; i < file.cells.size(); ++i) {
        if (file.cells[i] == "minecraft:air") continue;
        const auto at = static_cast<std::int64_t>(i);
        blocks.cells[{at % file.width, at / (file.width * file.length), at / file.width % file.length}] = file.cells[i];
    }
    return blocks;
}

TEST(Pieces, JoinIntoTheWholeInEveryFormat) {
    TempFolder folder;
    // 12 x 8: four colors and transparent pixels in a pattern that differs along both axes.
    const QRgb colors[] = {qRgb(200, 0, 0), qRgb(128, 128, 128), qRgb(0, 200, 0), qRgb(150, 100, 50), qRgba(0, 0, 0, 0)};
    SavePicture(MakeImage(12, 8, [&](int x, int y) { return colors[(x * 3 + y * 7 + x * y) % 5]; }), folder / "art.png");
    testing::WriteBytes(folder / "t.txt", "35,14,200,0,0\n1,0,128,128,128\n2,0,0,200,0\n5,0,150,100,50\n");
    const std::string table = (folder / "t.txt").string();
    const std::regex line(R"(^(\S+): (\d+) x (\d+), offset x (-?\d+) y (-?\d+) z (-?\d+)$)");
    int joined = 0;
    for (const std::string extension : {".schematic", ".schem", ".litematic", ".nbt"}) {
        for (const std::string orientation : {"floor", "wall"}) {
            const std::string whole = std::string("whole-").append(orientation).append(extension);
            ASSERT_EQ(RunCli({"convert", (folder / "art.png").string(), "--palette", table, "--orientation", orientation,
                              "-o", (folder / whole).string()}).code, EXIT_DONE);
            const Blocks expected = Read(folder / whole, extension);
            ASSERT_FALSE(expected.cells.empty());
            for (const int side : {4, 5, 12}) {  // even, uneven, one piece
                SCOPED_TRACE(std::string(extension).append(" ").append(orientation).append(" split ").append(std::to_string(side)));
                const std::string name = "art-" + orientation + "-" + std::to_string(side);
                const CliResult result = RunCli({"convert", (folder / "art.png").string(), "--palette", table,
                                                 "--orientation", orientation, "--split", std::to_string(side), "-o",
                                                 (folder / (name + extension)).string()});
                ASSERT_EQ(result.code, EXIT_DONE) << result.err;
                EXPECT_EQ(result.err.find("fits in one piece") != std::string::npos, side == 12) << result.err;
                EXPECT_FALSE(fs::exists(folder / (name + extension))) << "pieces only";
                std::ifstream guide(folder / (name + "-pieces.txt"));
                ASSERT_TRUE(guide) << "no guide";
                Blocks all;
                int pieces = 0;
                std::int64_t lift = 0;
                for (std::string text; std::getline(guide, text);) {
                    std::smatch m;
                    if (!std::regex_match(text, m, line)) continue;
                    const Blocks piece = Read(folder / m[1].str(), extension);
                    EXPECT_EQ(piece.size[0], std::stoi(m[2]));
                    EXPECT_LE(std::max(piece.size[0], std::max(piece.size[1], piece.size[2])), side);
                    // A wall's offsets start at its top-left piece, whose foot stands this high.
                    if (pieces++ == 0 && orientation == "wall") lift = expected.size[1] - piece.size[1];
                    const Place offset{std::stoll(m[4]), std::stoll(m[5]) + lift, std::stoll(m[6])};
                    for (const auto& [at, state] : piece.cells) {
                        const Place placed{at[0] + offset[0], at[1] + offset[1], at[2] + offset[2]};
                        EXPECT_TRUE(all.cells.emplace(placed, state).second) << "two pieces place a block in one cell";
                    }
                }
                const int across = (12 + side - 1) / side, down = (8 + side - 1) / side;
                EXPECT_EQ(pieces, across * down);
                EXPECT_TRUE(all.cells == expected.cells);
                ++joined;
            }
        }
    }
    EXPECT_EQ(joined, 24);
}

}  // namespace
}  // namespace tesselbox::cli
