// tesselbox-cli convert --map: what the line may ask for, and what it must refuse before writing.
#include "tests/cli/CliTestSupport.h"
#include "tests/support/TempFolder.h"

#include <gtest/gtest.h>

#include <random>

namespace tesselbox::cli {
namespace {

namespace fs = std::filesystem;
using testing::CurrentFolder;
using testing::MakeImage;
using testing::RunCli;
using testing::SavePicture;
using testing::TempFolder;
using testing::WriteBytes;

struct MapLineCase {
    const char* name;
    std::vector<std::string> args;  // after "convert noise.png"
    int code;
    const char* says;
    std::vector<const char*> written;  // the files there afterwards besides the inputs
};
void PrintTo(const MapLineCase& c, std::ostream* os) { *os << c.name; }

class MapLine : public ::testing::TestWithParam<MapLineCase> {};

TEST_P(MapLine, SaysWhatItDoesAndWritesOnlyThat) {
    const MapLineCase& c = GetParam();
    TempFolder folder;
    std::mt19937 random(7);
    SavePicture(MakeImage(40, 40, [&](int, int) { return qRgb(int(random() % 256), int(random() % 256), int(random() % 256)); }),
                folder / "noise.png");
    WriteBytes(folder / "glass.txt", "minecraft:glass,200,220,230\n");
    CurrentFolder inFolder(folder.path());
    std::vector<std::string> args = {"convert", "noise.png"};
    args.insert(args.end(), c.args.begin(), c.args.end());
    const auto result = RunCli(args);
    EXPECT_EQ(result.code, c.code) << result.err;
    EXPECT_NE(result.err.find(c.says), std::string::npos) << result.err;
    std::vector<std::string> files;
    for (const auto& entry : fs::directory_iterator(folder.path())) {
        const std::string file = entry.path().filename().string();
        if (file != "noise.png" && file != "glass.txt") files.push_back(file);
    }
    std::sort(files.begin(), files.end());
    EXPECT_EQ(files, std::vector<std::string>(c.written.begin(), c.written.end()));
}

INSTANTIATE_TEST_SUITE_P(
    Cli, MapLine,
    ::testing::Values(
        MapLineCase{"NoMaps", {"--map", "flat", "--maps", "0x1", "-o", "a.nbt"}, EXIT_USAGE, "--maps takes WIDTHxHEIGHT", {}},
        MapLineCase{"MapsWithoutMap", {"--maps", "2x2", "-o", "a.nbt"}, EXIT_USAGE, "add --map", {}},
        MapLineCase{"BelowTheHeightTheShadesNeed", {"--map", "staircase", "--max-height", "1", "-o", "a.nbt"},
                    EXIT_FILE_FAILED, "blocks of height (map 1-1), above the limit of 1 block: valley", {}},
        MapLineCase{"IntoASchematic", {"--map", "flat", "-o", "a.schematic"}, EXIT_USAGE,
                    "a.schematic: map art names its blocks and stands at several heights", {}},
        MapLineCase{"ASupportThatNeedsSupport", {"--map", "valley", "--support-block", "minecraft:glow_lichen", "-o", "a.nbt"},
                    EXIT_USAGE, "minecraft:glow_lichen itself falls or needs a block under it", {}},
        MapLineCase{"NoBlockWithAMapColor", {"--map", "flat", "--palette", "glass.txt", "-o", "a.nbt"}, EXIT_USAGE,
                    "leaves no block with a map color", {}},
        MapLineCase{"AChoiceDropsColors", {"--map", "flat", "--only", "wool", "-o", "a.nbt"}, EXIT_DONE,
                    "map colors left without a block by the choice, so not used: GRASS", {"a-maps.txt", "a.nbt"}},
        MapLineCase{"TwoMapsAndTheirItems", {"--map", "valley", "--maps", "2x1", "--map-item", "-o", "a.litematic"},
                    EXIT_DONE, "valley map art",
                    {"a-map-1-1.litematic", "a-map-1-2.litematic", "a-maps.txt", "map_0.dat", "map_1.dat"}}),
    [](const auto& test) { return std::string(test.param.name); });

}  // namespace
}  // namespace tesselbox::cli
