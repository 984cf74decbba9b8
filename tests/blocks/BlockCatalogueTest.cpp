// The block catalogue against the lists minecraft-data gives in tests/data/game-versions (text files
// written by scripts/generate/block-tables, read here without the program's tables), and the
// shipped modern table's facts against answers known from the game.
#include "blocks/BlockLists.h"
#include "blocks/ModernBlocks.h"
#include "palette/BlockChoice.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <map>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace tesselbox {
namespace {

std::vector<std::string> Versions() {
    std::vector<std::string> versions;
    std::ifstream file(TESSELBOX_TEST_DATA "/game-versions/versions.txt");
    for (std::string line; std::getline(file, line);) {
        if (!line.empty() && line[0] != '#') versions.push_back(line.substr(0, line.find(' ')));
    }
    return versions;
}

// block-names.txt: "minecraft:name @ 1.13.2..1.20.1 26.1" -> the versions, oldest first.
std::map<std::string, std::vector<std::string>> NamesByBlock() {
    const std::vector<std::string> versions = Versions();
    const auto index = [&](const std::string& v) {
        return static_cast<std::size_t>(std::find(versions.begin(), versions.end(), v) - versions.begin());
    };
    std::map<std::string, std::vector<std::string>> blocks;
    std::ifstream file(TESSELBOX_TEST_DATA "/game-versions/block-names.txt");
    for (std::string line; std::getline(file, line);) {
        if (line.empty() || line[0] == '#') continue;
        std::istringstream fields(line);
        std::string name, word;
        fields >> name >> word;
        while (fields >> word) {
            const std::size_t dots = word.find("..");
            const std::size_t first = index(word.substr(0, dots));
            const std::size_t last = dots == std::string::npos ? first : index(word.substr(dots + 2));
            for (std::size_t i = first; i <= last && i < versions.size(); ++i) blocks[name].push_back(versions[i]);
        }
    }
    return blocks;
}

TEST(BlockLists, SayWhichVersionsHaveEachBlockAsTheExtractedListDoes) {
    const auto names = NamesByBlock();
    const std::vector<std::string> versions = Versions();
    ASSERT_GT(names.size(), 1000u);
    ASSERT_EQ(std::vector<std::string>(blocks::BlockListVersions().begin(), blocks::BlockListVersions().end()),
              versions);
    for (const auto& [name, has] : names) {
        for (const std::string& version : versions) {
            const bool listed = std::find(has.begin(), has.end(), version) != has.end();
            EXPECT_EQ(blocks::VersionHasBlock(version, name), listed) << name << " in " << version;
        }
    }
    EXPECT_FALSE(blocks::VersionHasBlock("26.1", "minecraft:no_such_block"));
}

// Every property value block-states.txt lists is accepted in its versions; a value it does not
// list, a key the block lacks and a key given twice are refused with the reason.
TEST(BlockLists, CheckPropertiesAsTheExtractedStatesList) {
    std::ifstream file(TESSELBOX_TEST_DATA "/game-versions/block-states.txt");
    int checked = 0;
    for (std::string line; std::getline(file, line);) {
        if (line.empty() || line[0] == '#') continue;
        std::istringstream fields(line);
        std::string name, word;
        fields >> name;
        std::vector<std::pair<std::string, std::vector<std::string>>> properties;
        while (fields >> word && word != "@") {
            const std::size_t equals = word.find('=');
            std::vector<std::string> values;
            std::istringstream list(word.substr(equals + 1));
            for (std::string value; std::getline(list, value, '|');) values.push_back(value);
            properties.emplace_back(word.substr(0, equals), values);
        }
        while (fields >> word) {
            for (const auto& [key, values] : properties) {
                for (const std::string& value : values) {
                    EXPECT_EQ(blocks::CheckBlockState(word, name, {{key, value}}), "") << line;
                    ++checked;
                }
                EXPECT_NE(blocks::CheckBlockState(word, name, {{key, "nonsense"}}), "") << line;
                EXPECT_NE(blocks::CheckBlockState(word, name, {{key, values[0]}, {key, values[0]}}), "") << line;
            }
            EXPECT_NE(blocks::CheckBlockState(word, name, {{"no_such_key", "1"}}), "") << line;
        }
    }
    EXPECT_GT(checked, 10000);
}

TEST(ModernBlocks, EveryNameIsABlockOfItsVersionAndFirstSeenWhereTheListsSay) {
    const auto names = NamesByBlock();
    ASSERT_GT(blocks::ModernBlocks().size(), 300u);
    for (const blocks::ModernBlock& block : blocks::ModernBlocks()) {
        const auto found = names.find(std::string(block.name));
        ASSERT_NE(found, names.end()) << block.name;
        const std::vector<std::string>& has = found->second;
        EXPECT_NE(std::find(has.begin(), has.end(), blocks::ModernTableVersion()), has.end()) << block.name;
        EXPECT_EQ(has.front(), block.firstVersion) << block.name;
    }
}

struct KnownFacts {
    const char* name;
    const char* family;
    std::uint32_t flags;  // the flags that must be set; every other one of ASKED must not be
};

constexpr std::uint32_t ASKED = blocks::FALLS | blocks::NEEDS_SUPPORT | blocks::CHANGES | blocks::LIGHT |
                                blocks::CREATIVE_ONLY;

TEST(ModernBlocks, FamiliesAndFlagsAreThoseTheGameShows) {
    using namespace blocks;
    const KnownFacts known[] = {
        {"minecraft:white_wool", "wool", 0},
        {"minecraft:red_concrete", "concrete", 0},
        {"minecraft:red_concrete_powder", "concrete-powder", FALLS | CHANGES},
        {"minecraft:sand", "earth", FALLS},
        {"minecraft:gravel", "earth", FALLS},
        {"minecraft:soul_sand", "nether", 0},  // its name ends in sand, but it does not fall
        {"minecraft:terracotta", "terracotta", 0},
        {"minecraft:cyan_glazed_terracotta", "glazed-terracotta", 0},
        {"minecraft:cherry_planks", "planks", 0},
        {"minecraft:pale_oak_log", "logs-and-wood", 0},
        {"minecraft:stripped_warped_hyphae", "logs-and-wood", 0},
        {"minecraft:deepslate", "stone-and-deepslate", 0},
        {"minecraft:tuff_bricks", "stone-and-deepslate", 0},
        {"minecraft:copper_block", "copper", CHANGES},
        {"minecraft:weathered_cut_copper", "copper", CHANGES},
        {"minecraft:oxidized_copper", "copper", 0},
        {"minecraft:waxed_exposed_copper", "copper", 0},
        {"minecraft:raw_copper_block", "ores", 0},
        {"minecraft:deepslate_diamond_ore", "ores", 0},
        {"minecraft:redstone_ore", "ores", CHANGES},
        {"minecraft:netherrack", "nether", 0},
        {"minecraft:glowstone", "nether", LIGHT},
        {"minecraft:sea_lantern", "prismarine", LIGHT},
        {"minecraft:end_stone_bricks", "end", 0},
        {"minecraft:bedrock", "other", CREATIVE_ONLY},
        {"minecraft:command_block", "functional", CREATIVE_ONLY},
        {"minecraft:budding_amethyst", "stone-and-deepslate", CREATIVE_ONLY},
        {"minecraft:reinforced_deepslate", "stone-and-deepslate", CREATIVE_ONLY},
        {"minecraft:tube_coral_block", "coral", CHANGES},
        {"minecraft:dead_tube_coral_block", "coral", 0},
    };
    for (const KnownFacts& facts : known) {
        const blocks::ModernBlock* block = blocks::FindModernBlock(facts.name);
        ASSERT_NE(block, nullptr) << facts.name;
        EXPECT_EQ(block->family, facts.family) << facts.name;
        EXPECT_EQ(block->flags & ASKED, facts.flags) << facts.name;
    }
    // Left out: translucent, tinted or not a full cube.
    for (const char* name : {"minecraft:glass", "minecraft:grass_block", "minecraft:oak_leaves", "minecraft:ice",
                             "minecraft:oak_slab", "minecraft:barrier", "minecraft:spawner"}) {
        EXPECT_EQ(blocks::FindModernBlock(name), nullptr) << name;
    }
}

TEST(BlockChoice, WordsChooseByNameFamilyAndFlag) {
    auto table = std::make_unique<ColorTable>();
    EXPECT_EQ(MakeModernTable(*table), 0u);
    const std::int32_t all = table->count;
    ChooseBlocks(*table, {"wool", "concrete-powder", "minecraft:stone"}, {"falls", "white_wool"});
    ASSERT_EQ(table->count, 16);  // 15 wools and stone; the powders fall
    for (std::int32_t i = 0; i < table->count; ++i) {
        const std::string& state = table->blockStates[static_cast<std::size_t>(i)];
        EXPECT_TRUE(state.ends_with("_wool") || state == "minecraft:stone") << state;
        EXPECT_NE(state, "minecraft:white_wool");
    }
    auto old = std::make_unique<ColorTable>();
    EXPECT_GT(MakeModernTable(*old, BlockFace::Top, FindGameVersion("1.16.5")), 100u);
    EXPECT_LT(old->count, all);

    // The side table, for walls: the same blocks, each with its side face's color.
    auto sides = std::make_unique<ColorTable>();
    MakeModernTable(*sides, BlockFace::Side);
    ASSERT_EQ(sides->count, all);
    const blocks::ModernBlock* log = blocks::FindModernBlock("minecraft:oak_log");
    const auto at = static_cast<std::size_t>(log - blocks::ModernBlocks().data());
    EXPECT_EQ(sides->blockStates[at], "minecraft:oak_log");
    EXPECT_EQ(sides->colors[at], MakePixel(log->side[0], log->side[1], log->side[2], 255));
    EXPECT_NE(log->side, log->top);

    EXPECT_EQ(CheckChoiceWord("busy", *table), "");
    EXPECT_EQ(CheckChoiceWord("minecraft:tuff", *table), "");
    EXPECT_EQ(CheckChoiceWord("fals", *table), "no block, family or flag is called \"fals\"; close: falls");
    EXPECT_NE(CheckChoiceWord("cherry", *table).find("cherry_planks"), std::string::npos);
}

}  // namespace
}  // namespace tesselbox
