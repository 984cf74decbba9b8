#include "blocks/MapColors.h"
#include "convert/MapArt.h"
#include "formats/MapFiles.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

namespace tesselbox {
namespace {

constexpr std::int8_t GAP = -1, LOW = SHADE_LOWER, LEVEL = SHADE_LEVEL, HIGH = SHADE_HIGHER;

struct HeightCase {
    const char* name;
    std::vector<std::int8_t> shades;  // [0] is the row north of the art
    std::vector<std::int32_t> staircase, valley;
};

// Staircase keeps every step one block; valley lets a run rest as low as its neighbours allow.
TEST(MapArt, ColumnHeights) {
    const HeightCase cases[] = {
        {"climbs three, falls two", {GAP, LEVEL, HIGH, HIGH, HIGH, LOW, LOW}, {0, 0, 1, 2, 3, 2, 1}, {0, 0, 1, 2, 3, 1, 0}},
        {"falls below its reference", {GAP, LOW, LOW, LOW}, {3, 2, 1, 0}, {3, 2, 1, 0}},
        {"a fall lets the next rise start from the ground", {GAP, HIGH, HIGH, HIGH, LOW, HIGH, HIGH, HIGH},
         {0, 1, 2, 3, 2, 3, 4, 5}, {0, 1, 2, 3, 0, 1, 2, 3}},
        {"a level run takes the higher of its two needs", {GAP, HIGH, LEVEL, LEVEL, LOW, LOW}, {1, 2, 2, 2, 1, 0},
         {0, 2, 2, 2, 1, 0}},
        {"a transparent pixel holds the next block's reference", {GAP, LEVEL, GAP, HIGH}, {0, 0, 0, 1}, {0, 0, 0, 1}},
        {"a gap at the end holds nothing", {GAP, HIGH, GAP}, {0, 1, -1}, {0, 1, -1}},
        {"no art, no blocks", {GAP, GAP, GAP}, {-1, -1, -1}, {-1, -1, -1}},
    };
    for (const HeightCase& c : cases) {
        EXPECT_EQ(ColumnHeights(c.shades, MapMode::Staircase), c.staircase) << c.name;
        EXPECT_EQ(ColumnHeights(c.shades, MapMode::Valley), c.valley) << c.name;
        std::vector<std::int32_t> flat = ColumnHeights(c.shades, MapMode::Flat);
        for (std::size_t i = 0; i < flat.size(); ++i) EXPECT_EQ(flat[i], c.valley[i] < 0 ? -1 : 0) << c.name << " flat, cell " << i;
    }
}

// Every base color's entry of a shade in the palette.
std::int32_t EntryOf(const MapPalette& palette, std::uint8_t base, std::uint8_t shade) {
    for (std::size_t i = 0; i < palette.base.size(); ++i) {
        if (palette.base[i] == base && palette.shade[i] == shade) return static_cast<std::int32_t>(i);
    }
    ADD_FAILURE() << "no entry for base " << int(base) << " shade " << int(shade);
    return NO_BLOCK;
}

// One map of one column: rise four, fall one, over and over; its top cell a block that needs
// support. The staircase climbs three a period and is refused under a low limit; the valley
// needs five layers and a lift of one for the support under the northern row.
TEST(MapArt, BuildsEachMapWithItsSupportAndRefusesWhatIsTooTall) {
    constexpr std::uint8_t STONE = 11, GLOW_LICHEN = 61;
    for (const MapMode mode : {MapMode::Staircase, MapMode::Valley}) {
        SCOPED_TRACE(std::string(MapModeName(mode)));
        auto palette = std::make_unique<MapPalette>();
        ASSERT_EQ(MakeMapPalette({mode, nullptr, {}, {}, {}, std::string(DEFAULT_SUPPORT_BLOCK)}, *palette), std::nullopt);
        ASSERT_TRUE(palette->needsSupport[static_cast<std::size_t>(EntryOf(*palette, GLOW_LICHEN, SHADE_LEVEL))]);
        BlockGrid grid(MAP_ART_SIDE, 0);  // one column, bottom row first
        for (std::uint32_t z = 0; z < MAP_ART_SIDE; ++z) {
            const std::uint8_t shade = z == 0 ? SHADE_LEVEL : z % 5 == 0 ? SHADE_LOWER : SHADE_HIGHER;
            grid[MAP_ART_SIDE - 1 - z] = EntryOf(*palette, z == 0 ? GLOW_LICHEN : STONE, shade);
        }
        MapArtRequest request{mode, 1, 1, 20, nullptr};
        MapArt art;
        BuildMapArt(grid, 1, MAP_ART_SIDE, *palette, request, art);
        if (mode == MapMode::Staircase) {
            EXPECT_NE(art.refusal.find("staircase map art needs 79 blocks of height (map 1-1), above the limit of 20"),
                      std::string::npos) << art.refusal;
            continue;
        }
        ASSERT_EQ(art.refusal, "");
        ASSERT_EQ(art.pieces.size(), 1u);
        const MapPiece& piece = art.pieces[0];
        std::vector<std::int32_t> cells;
        const BlockVolume volume = PieceVolume(piece, *palette, cells);
        EXPECT_EQ(volume.y, 6u);  // heights 0..4, lifted by one
        const std::uint32_t x = (MAP_ART_SIDE - 1) / 2;  // the column, centred
        const auto cell = [&](std::uint32_t y, std::uint32_t z) {
            return volume.cells[(std::size_t{y} * volume.z + z) * MAP_ART_SIDE + x];
        };
        EXPECT_EQ(cell(1, 0), palette->supportEntry);   // the reference, level with the lichen
        EXPECT_EQ(cell(0, 1), palette->supportEntry);   // under the lichen
        EXPECT_EQ(cell(1, 1), grid[MAP_ART_SIDE - 1]);  // the lichen
        EXPECT_EQ(cell(2, 2), grid[MAP_ART_SIDE - 2]);  // one higher
        EXPECT_EQ(piece.supportBlocks, 2u);
        EXPECT_EQ(piece.colors[x], GLOW_LICHEN * 4 + SHADE_LEVEL);
        EXPECT_EQ(piece.colors[MAP_ART_SIDE + x], STONE * 4 + SHADE_HIGHER);
        EXPECT_EQ(piece.colors[0], 0);  // the rest of the map shows nothing
        request.maxHeight = 5;
        BuildMapArt(grid, 1, MAP_ART_SIDE, *palette, request, art);
        EXPECT_NE(art.refusal.find("valley map art needs 6 blocks of height"), std::string::npos) << art.refusal;
    }
}

}  // namespace
}  // namespace tesselbox
