#include "palette/BedrockBlockStates.h"

#include "blocks/ModernBlocks.h"

#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>

namespace tesselbox {
namespace {

// tests/data/bedrock-versions, extracted from minecraft-data by scripts/generate/bedrock-tables:
// every state of the Bedrock blocks the table names, per version.
std::map<std::string, std::set<std::string>> LoadBedrockStates() {
    std::map<std::string, std::set<std::string>> states;  // version -> typed states
    std::ifstream file(TESSELBOX_TEST_DATA "/bedrock-versions/block-states.txt");
    for (std::string line; std::getline(file, line);) {
        if (line.empty() || line[0] == '#') continue;
        std::istringstream fields(line);
        std::string state, word;
        fields >> state >> word;
        while (fields >> word) states[word].insert(state);
    }
    return states;
}

// Every legacy id:data with a Bedrock block, in every Bedrock version, is a complete state that
// version has (name, every property, each value with its type); the default colors all have one.
TEST(BedrockBlockStates, EveryStateExistsInItsVersion) {
    const auto known = LoadBedrockStates();
    ColorTable colors;
    ASSERT_TRUE(LoadColorTableFile(TESSELBOX_SOURCE_DIR "/Colors.txt", colors).ok());
    ASSERT_EQ(&NewestBedrockVersion(), &SupportedBedrockVersions().back());
    for (const BedrockVersion& version : SupportedBedrockVersions()) {
        SCOPED_TRACE(std::string(version.name));
        ASSERT_EQ(FindBedrockVersion(version.name), &version);
        const GameVersion* java = FindGameVersion(version.javaVersion);
        ASSERT_NE(java, nullptr);
        const auto states = known.find(std::string(version.name));
        ASSERT_NE(states, known.end()) << "no block states extracted for this version";
        int named = 0;
        for (int id = 0; id < 256; ++id) {
            for (int data = 0; data < 16; ++data) {
                BlockState javaState;
                BedrockState state;
                if (!BlockStateFor(static_cast<std::uint8_t>(id), static_cast<std::uint8_t>(data), *java, javaState) ||
                    !BedrockStateFor(javaState, version, state)) {
                    continue;
                }
                ++named;
                const std::string text = state.ToString();
                EXPECT_EQ(states->second.count(text), 1u) << id << ":" << data << " " << javaState.ToString() << " -> " << text;
                BedrockState parsed;
                EXPECT_TRUE(ParseBedrockState(text, parsed) && parsed == state) << text;
            }
        }
        EXPECT_GT(named, 1000);
        // The modern table's blocks, by name: every one in the newest version.
        int modern = 0;
        for (const blocks::ModernBlock& block : blocks::ModernBlocks()) {
            BedrockState state;
            if (!BedrockStateFor(ParseBlockState(block.name), version, state)) {
                EXPECT_NE(&version, &NewestBedrockVersion()) << block.name;
                continue;
            }
            ++modern;
            EXPECT_EQ(states->second.count(state.ToString()), 1u) << block.name << " -> " << state.ToString();
        }
        EXPECT_GT(modern, 200);
        const TableBedrockStates table = ResolveTableBedrockStates(colors, version);
        EXPECT_TRUE(table.ok()) << table.message;
    }
}

// The names that differ between the editions and between Bedrock versions, spot by spot.
TEST(BedrockBlockStates, KnownNamesPerVersion) {
    const struct {
        const char* version;
        int id, data;
        const char* expected;
    } cases[] = {
        {"1.19.1", 35, 14, "minecraft:wool[color=\"red\"]"},
        {"1.21.100", 35, 14, "minecraft:red_wool"},
        {"1.19.1", 172, 0, "minecraft:hardened_clay"},
        {"1.26.30", 172, 0, "minecraft:hardened_clay"},
        {"1.19.1", 159, 0, "minecraft:stained_hardened_clay[color=\"white\"]"},
        {"1.21.100", 159, 0, "minecraft:white_terracotta"},
        {"1.19.1", 5, 0, "minecraft:planks[wood_type=\"oak\"]"},
        {"1.21.100", 5, 0, "minecraft:oak_planks"},
        {"1.21.100", 80, 0, "minecraft:snow"},
        {"1.21.100", 45, 0, "minecraft:brick_block"},
        {"1.20.71", 251, 0, "minecraft:white_concrete"},
    };
    for (const auto& c : cases) {
        const BedrockVersion* version = FindBedrockVersion(c.version);
        ASSERT_NE(version, nullptr) << c.version;
        BlockState java;
        ASSERT_TRUE(BlockStateFor(static_cast<std::uint8_t>(c.id), static_cast<std::uint8_t>(c.data),
                                  *FindGameVersion(version->javaVersion), java));
        BedrockState state;
        ASSERT_TRUE(BedrockStateFor(java, *version, state)) << c.version << " " << java.ToString();
        EXPECT_EQ(state.ToString(), c.expected) << c.version << " " << c.id << ":" << c.data;
    }
}

// Entries that name their block: properties left out take the block's default; a block the
// version lacks is refused with its line.
TEST(BedrockBlockStates, NamedEntries) {
    const struct {
        const char* version;
        const char* java;
        const char* expected;  // nullptr: refused
    } cases[] = {
        {"1.26.30", "minecraft:cherry_planks", "minecraft:cherry_planks"},
        {"1.26.30", "minecraft:oak_log", "minecraft:oak_log[pillar_axis=\"y\"]"},
        {"1.26.30", "minecraft:oak_log[axis=x]", "minecraft:oak_log[pillar_axis=\"x\"]"},
        {"1.19.1", "minecraft:oak_log", "minecraft:log[old_log_type=\"oak\",pillar_axis=\"y\"]"},
        {"1.26.30", "minecraft:oak_stairs", "minecraft:oak_stairs[upside_down_bit=0b,weirdo_direction=3]"},
        {"1.26.30", "minecraft:oak_stairs[half=top,shape=outer_right,facing=east]",
         "minecraft:oak_stairs[upside_down_bit=1b,weirdo_direction=0]"},
        {"1.26.30", "minecraft:waxed_oxidized_cut_copper", "minecraft:waxed_oxidized_cut_copper"},
        {"1.19.1", "minecraft:copper_block", "minecraft:copper_block"},
        {"1.26.30", "minecraft:acacia_log", "minecraft:acacia_log[pillar_axis=\"y\"]"},
        {"1.19.1", "minecraft:cherry_planks", nullptr},
        {"1.20.71", "minecraft:pale_oak_planks", nullptr},
        {"1.26.30", "minecraft:oak_log[axis=w]", nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.version) + " " + c.java);
        const BedrockVersion* version = FindBedrockVersion(c.version);
        ASSERT_NE(version, nullptr);
        ColorTable table;
        table.count = 2;
        table.blockIds = {35};
        table.blockStates = {"", c.java};
        table.lines = {3, 7};
        const TableBedrockStates states = ResolveTableBedrockStates(table, *version);
        if (c.expected == nullptr) {
            ASSERT_FALSE(states.ok());
            EXPECT_NE(states.message.find("line 7: " + std::string(c.java)), std::string::npos) << states.message;
            continue;
        }
        ASSERT_TRUE(states.ok()) << states.message;
        EXPECT_EQ(states.states[1].ToString(), c.expected);
    }
}

TEST(BedrockBlockStates, AnEntryWithoutABedrockBlockNamesItsLine) {
    ColorTable table;
    table.count = 2;
    table.blockIds = {35, 253};  // 253 has no block at all
    table.lines = {4, 9};
    const TableBedrockStates states = ResolveTableBedrockStates(table, NewestBedrockVersion());
    ASSERT_FALSE(states.ok());
    EXPECT_NE(states.message.find("line 9"), std::string::npos) << states.message;
    EXPECT_NE(states.message.find("253:0"), std::string::npos) << states.message;
    EXPECT_NE(states.message.find(std::string(NewestBedrockVersion().name)), std::string::npos) << states.message;
}

}  // namespace
}  // namespace tesselbox
