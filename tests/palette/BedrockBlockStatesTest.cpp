#include "palette/BedrockBlockStates.h"

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
