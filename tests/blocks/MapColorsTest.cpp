// The map colors against answers known from the game, and the block table against the block
// lists: every name is a block of its versions, and every base color has one usable default.
#include "blocks/BlockLists.h"
#include "blocks/MapColors.h"
#include "blocks/ModernBlocks.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <string>

namespace tesselbox {
namespace {

using blocks::MapBaseColors;
using RGB = std::array<std::uint8_t, 3>;

TEST(MapColors, BaseColorsAndShadesAreTheGames) {
    struct Case {
        std::uint8_t id;
        std::string_view name;
        RGB rgb;
        std::string_view firstVersion;
        std::array<RGB, 4> shades;  // 180, 220, 255, 135, truncated
    };
    const Case cases[] = {
        {1, "GRASS", {127, 178, 56}, "1.13.2", {{{89, 125, 39}, {109, 153, 48}, {127, 178, 56}, {67, 94, 29}}}},
        {8, "SNOW", {255, 255, 255}, "1.13.2", {{{180, 180, 180}, {220, 220, 220}, {255, 255, 255}, {135, 135, 135}}}},
        {10, "DIRT", {151, 109, 77}, "1.13.2", {{{106, 76, 54}, {130, 94, 66}, {151, 109, 77}, {79, 57, 40}}}},
        {12, "WATER", {64, 64, 255}, "1.13.2", {{{45, 45, 180}, {55, 55, 220}, {64, 64, 255}, {33, 33, 135}}}},
        {14, "QUARTZ", {255, 252, 245}, "1.13.2", {{{180, 177, 172}, {220, 217, 211}, {255, 252, 245}, {135, 133, 129}}}},
        {29, "COLOR_BLACK", {25, 25, 25}, "1.13.2", {{{17, 17, 17}, {21, 21, 21}, {25, 25, 25}, {13, 13, 13}}}},
        {31, "DIAMOND", {92, 219, 213}, "1.13.2", {{{64, 154, 150}, {79, 188, 183}, {92, 219, 213}, {48, 115, 112}}}},
        {35, "NETHER", {112, 2, 0}, "1.13.2", {{{79, 1, 0}, {96, 1, 0}, {112, 2, 0}, {59, 1, 0}}}},
        {51, "TERRACOTTA_BLACK", {37, 22, 16}, "1.13.2", {{{26, 15, 11}, {31, 18, 13}, {37, 22, 16}, {19, 11, 8}}}},
        {52, "CRIMSON_NYLIUM", {189, 48, 49}, "1.16.5", {{{133, 33, 34}, {163, 41, 42}, {189, 48, 49}, {100, 25, 25}}}},
        {58, "WARPED_WART_BLOCK", {20, 180, 133}, "1.16.5", {{{14, 127, 93}, {17, 155, 114}, {20, 180, 133}, {10, 95, 70}}}},
        {59, "DEEPSLATE", {100, 100, 100}, "1.17.1", {{{70, 70, 70}, {86, 86, 86}, {100, 100, 100}, {52, 52, 52}}}},
        {61, "GLOW_LICHEN", {127, 167, 150}, "1.17.1", {{{89, 117, 105}, {109, 144, 129}, {127, 167, 150}, {67, 88, 79}}}},
    };
    ASSERT_EQ(MapBaseColors().size(), 62u);
    for (const Case& c : cases) {
        const blocks::MapBaseColor& base = MapBaseColors()[c.id];
        EXPECT_EQ(base.id, c.id);
        EXPECT_EQ(base.name, c.name);
        EXPECT_EQ(base.rgb, c.rgb) << c.name;
        EXPECT_EQ(base.firstVersion, c.firstVersion) << c.name;
        for (std::uint8_t shade = 0; shade < 4; ++shade) {
            EXPECT_EQ(blocks::MapShadeColor(c.id, shade), c.shades[shade]) << c.name << " shade " << int(shade);
        }
    }
    EXPECT_EQ(blocks::MapShadeColor(0, 2), (RGB{0, 0, 0}));   // NONE draws nothing
    EXPECT_EQ(blocks::MapShadeColor(62, 2), (RGB{0, 0, 0}));  // past the last base
    EXPECT_EQ(blocks::MapShadeColor(1, 4), (RGB{0, 0, 0}));   // past the last shade
}

// Blocks whose colors are easy to take from their looks, or from a neighbour, and get wrong.
TEST(MapColors, BlocksGiveTheGamesBaseColor) {
    const std::pair<std::string_view, std::string_view> cases[] = {
        {"minecraft:white_wool", "SNOW"},          {"white_concrete", "SNOW"},
        {"white_terracotta", "TERRACOTTA_WHITE"},  {"red_wool", "COLOR_RED"},
        {"red_terracotta", "TERRACOTTA_RED"},      {"terracotta", "COLOR_ORANGE"},
        {"quartz_block", "QUARTZ"},                {"diorite", "QUARTZ"},
        {"granite", "DIRT"},                       {"stone", "STONE"},
        {"deepslate", "DEEPSLATE"},                {"infested_stone", "CLAY"},
        {"infested_deepslate", "DEEPSLATE"},       {"birch_log", "SAND"},
        {"oak_log", "WOOD"},                       {"spruce_log", "PODZOL"},
        {"acacia_wood", "COLOR_GRAY"},             {"prismarine", "COLOR_CYAN"},
        {"prismarine_bricks", "DIAMOND"},          {"weathered_copper", "WARPED_STEM"},
        {"verdant_froglight", "GLOW_LICHEN"},      {"redstone_lamp", "TERRACOTTA_ORANGE"},
        {"test_block", "COLOR_LIGHT_GRAY"},        {"test_instance_block", "NONE"},
    };
    for (const auto& [name, base] : cases) {
        const blocks::MapColorBlock* block = blocks::FindMapColorBlock(name);
        ASSERT_NE(block, nullptr) << name;
        EXPECT_EQ(MapBaseColors()[block->base].name, base) << name;
    }
    EXPECT_EQ(blocks::FindMapColorBlock("minecraft:no_such_block"), nullptr);
    EXPECT_EQ(blocks::FindMapColorBlock("other:stone"), nullptr);
}

TEST(MapColors, EveryBlockIsInItsVersionsAndEveryModernBlockHasAColor) {
    const auto versions = blocks::BlockListVersions();
    for (const blocks::MapColorBlock& block : blocks::MapColorBlocks()) {
        const auto first = std::find(versions.begin(), versions.end(), block.firstVersion);
        ASSERT_NE(first, versions.end()) << block.name;
        if (first != versions.begin()) {
            EXPECT_FALSE(blocks::VersionHasBlock(*(first - 1), block.name)) << block.name;
        }
        for (auto v = first; v != versions.end(); ++v) {
            EXPECT_TRUE(blocks::VersionHasBlock(*v, block.name)) << block.name << " in " << *v;
        }
        EXPECT_LT(block.base, MapBaseColors().size()) << block.name;
    }
    for (const blocks::ModernBlock& block : blocks::ModernBlocks()) {
        const blocks::MapColorBlock* found = blocks::FindMapColorBlock(block.name);
        ASSERT_NE(found, nullptr) << block.name;
        EXPECT_EQ(found->flags, block.flags) << block.name;
    }
}

// A default can be placed in every version that has its color, and stays where it is put. Two
// colors have no block that needs nothing: water flows, and glow lichen clings to a face.
TEST(MapColors, EachBaseColorHasOneDefaultThatStays) {
    const auto versions = blocks::BlockListVersions();
    EXPECT_EQ(blocks::DefaultMapBlock(0), nullptr);
    EXPECT_EQ(blocks::DefaultMapBlock(62), nullptr);
    for (const blocks::MapBaseColor& base : MapBaseColors().subspan(1)) {
        const auto defaults = std::count_if(blocks::MapColorBlocks().begin(), blocks::MapColorBlocks().end(),
                                            [&](const auto& b) { return b.base == base.id && b.isDefault; });
        EXPECT_EQ(defaults, 1) << base.name;
        const blocks::MapColorBlock* block = blocks::DefaultMapBlock(base.id);
        ASSERT_NE(block, nullptr) << base.name;
        EXPECT_EQ(block->base, base.id);
        for (auto v = std::find(versions.begin(), versions.end(), base.firstVersion); v != versions.end(); ++v) {
            EXPECT_TRUE(blocks::VersionHasBlock(*v, block->name)) << block->name << " in " << *v;
        }
        EXPECT_EQ(block->flags & blocks::FALLS, 0u) << block->name;
        const bool clings = base.name == "GLOW_LICHEN";
        EXPECT_EQ((block->flags & blocks::NEEDS_SUPPORT) != 0, clings) << block->name;
        EXPECT_EQ(block->flags & blocks::CREATIVE_ONLY, 0u) << block->name;
    }
}

}  // namespace
}  // namespace tesselbox
