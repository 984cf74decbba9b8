#include "palette/BlockStates.h"

#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace tesselbox {
namespace {

// tests/data/game-versions, extracted from minecraft-data by scripts/generate/block-tables.
struct GameData {
    std::map<std::string, int> dataVersions;
    // version -> block name -> property -> allowed values
    std::map<std::string, std::map<std::string, std::map<std::string, std::set<std::string>>>> blocks;
};

GameData LoadGameData() {
    GameData data;
    std::ifstream versions(TESSELBOX_TEST_DATA "/game-versions/versions.txt");
    for (std::string line; std::getline(versions, line);) {
        if (line.empty() || line[0] == '#') continue;
        std::istringstream fields(line);
        std::string version;
        int dataVersion = 0;
        fields >> version >> dataVersion;
        data.dataVersions[version] = dataVersion;
    }
    std::ifstream blocks(TESSELBOX_TEST_DATA "/game-versions/block-states.txt");
    for (std::string line; std::getline(blocks, line);) {
        if (line.empty() || line[0] == '#') continue;
        std::istringstream fields(line);
        std::string name, word;
        fields >> name;
        std::map<std::string, std::set<std::string>> properties;
        while (fields >> word && word != "@") {
            const std::size_t equals = word.find('=');
            std::set<std::string>& values = properties[word.substr(0, equals)];
            std::istringstream list(word.substr(equals + 1));
            for (std::string value; std::getline(list, value, '|');) values.insert(value);
        }
        while (fields >> word) data.blocks[word][name] = properties;
    }
    return data;
}

// Every legacy id:data Tesselbox could be asked to write, in every supported version, is a block
// that version has, with properties and values it knows.
TEST(BlockStates, EveryNameExistsInEveryVersion) {
    const GameData data = LoadGameData();
    ASSERT_FALSE(data.blocks.empty());
    int checked = 0;
    for (const GameVersion& version : SupportedGameVersions()) {
        const std::string name(version.name);
        SCOPED_TRACE(name);
        ASSERT_EQ(data.dataVersions.count(name), 1u) << "no block list extracted for this version";
        EXPECT_EQ(data.dataVersions.at(name), version.dataVersion);
        EXPECT_EQ(version.litematicaVersion, version.dataVersion >= data.dataVersions.at("1.20.6") ? 7 : 6);
        const auto& blocks = data.blocks.at(name);
        for (int id = 0; id < 256; ++id) {
            for (int value = 0; value < 16; ++value) {
                BlockState state;
                if (!BlockStateFor(static_cast<std::uint8_t>(id), static_cast<std::uint8_t>(value), version, state)) continue;
                ++checked;
                const auto block = blocks.find(state.name);
                ASSERT_NE(block, blocks.end()) << id << ":" << value << " is " << state.ToString();
                std::set<std::string> seen;
                for (const auto& [key, propertyValue] : state.properties) {
                    EXPECT_TRUE(seen.insert(key).second) << state.ToString();
                    const auto property = block->second.find(key);
                    ASSERT_NE(property, block->second.end()) << id << ":" << value << " is " << state.ToString();
                    EXPECT_EQ(property->second.count(propertyValue), 1u) << id << ":" << value << " is " << state.ToString();
                }
            }
        }
    }
    EXPECT_GT(checked, 1600 * static_cast<int>(SupportedGameVersions().size()));
    EXPECT_EQ(NewestGameVersion().name, SupportedGameVersions().back().name);
}

// Renames the block lists cannot show: the name lives on as a different block.
TEST(BlockStates, RenamesFollowTheGame) {
    struct Case {
        int id, data;
        const char* version;
        const char* state;
    };
    const Case cases[] = {
        {44, 0, "1.13.2", "minecraft:stone_slab[type=bottom]"},   // the smooth slab, called stone_slab
        {44, 0, "1.14.4", "minecraft:smooth_stone_slab[type=bottom]"},
        {31, 1, "1.20.1", "minecraft:grass"},
        {31, 1, "1.20.4", "minecraft:short_grass"},
        {118, 0, "1.21.4", "minecraft:cauldron"},
        {118, 2, "1.21.4", "minecraft:water_cauldron[level=2]"},
        {35, 14, "26.1", "minecraft:red_wool"},
    };
    for (const Case& c : cases) {
        BlockState state;
        ASSERT_TRUE(BlockStateFor(static_cast<std::uint8_t>(c.id), static_cast<std::uint8_t>(c.data),
                                  *FindGameVersion(c.version), state));
        EXPECT_EQ(state.ToString(), c.state) << c.id << ":" << c.data << " in " << c.version;
    }
}

}  // namespace
}  // namespace tesselbox

namespace tesselbox {
namespace {

// A named entry is written as named when the version has it, and refused with its line otherwise.
TEST(BlockStates, NamedEntriesAreCheckedAgainstTheVersion) {
    struct Case {
        const char* version;
        const char* line;
        const char* expected;  // the state, or the message
    };
    const Case cases[] = {
        {"26.1", "minecraft:cherry_planks,1,2,3", "minecraft:cherry_planks"},
        {"1.20.1", "minecraft:oak_log[axis=x],1,2,3", "minecraft:oak_log[axis=x]"},
        {"1.16.5", "minecraft:cherry_planks,1,2,3",
         "color table line 2: minecraft:cherry_planks is no block in Minecraft 1.16.5"},
        {"26.1", "minecraft:oak_log[axis=w],1,2,3",
         "color table line 2: minecraft:oak_log: axis is one of x, y, z, not \"w\""},
        {"26.1", "minecraft:stone[axis=x],1,2,3",
         "color table line 2: minecraft:stone has no properties in Minecraft 26.1"},
        {"26.1", "minecraft:oak_log[colour=red],1,2,3",
         "color table line 2: minecraft:oak_log has no property colour in Minecraft 26.1; it has axis"},
        {"26.1", "other:stone,1,2,3", "color table line 2: other:stone is not a Minecraft block: names start with minecraft:"},
    };
    for (const Case& c : cases) {
        ColorTable table;
        ASSERT_TRUE(ParseColorTable(std::string("35,14,1,1,1\n") + c.line + "\n", table).ok()) << c.line;
        const TableBlockStates states = ResolveTableBlockStates(table, *FindGameVersion(c.version));
        if (states.ok()) {
            ASSERT_EQ(states.states.size(), 2u);
            EXPECT_EQ(states.states[0].ToString(), "minecraft:red_wool");
            EXPECT_EQ(states.states[1].ToString(), c.expected);
        } else {
            EXPECT_EQ(states.message, c.expected);
        }
    }
}

}  // namespace
}  // namespace tesselbox
