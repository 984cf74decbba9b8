// The blocks of map art as the converter makes them and the writers read them: the table a map
// is matched against, and each map's top blocks, their heights and the colors the map shows.
#pragma once

#include "palette/BlockGrid.h"
#include "palette/ColorTable.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace tesselbox {

// One map shows this many block columns a side, at its most detailed scale.
inline constexpr std::uint32_t MAP_ART_SIDE = 128;
// The shade numbers of a map color id (base * 4 + shade) that blocks can give.
inline constexpr std::uint8_t SHADE_LOWER = 0, SHADE_LEVEL = 1, SHADE_HIGHER = 2;

// The table a map is matched against: per base color that has a block, its shades (flat: 220;
// otherwise 180, 220, 255), each a named entry of that block. The support block, which also
// stands north of the first art block of every run, is one more entry, past those matched.
struct MapPalette {
    ColorTable table;                 // what the picture is matched against
    ColorTable fileTable;             // the same, then the support block: what the files name
    std::int32_t supportEntry = -1;   // in fileTable
    std::vector<std::uint8_t> base;   // per entry of table
    std::vector<std::uint8_t> shade;  // per entry of table
    std::vector<bool> needsSupport;   // per entry of table: the block falls or breaks without one
    std::vector<std::string> notes;   // base colors the choice left without a block
};

// One map's blocks: 128 columns by the reference row and 128 rows, each building alone.
struct MapPiece {
    std::uint32_t row = 0, column = 0;  // among the maps, from 0, row 0 the northern
    std::uint32_t layers = 0;           // its height in blocks
    BlockGrid top;                      // the top block of every column, bottom row first (128 × 129)
    std::vector<std::int16_t> heights;  // the y of each top block, z * 128 + x from the reference row; -1 none
    BlockGrid art;                      // the art's entries alone, 128 × 128
    std::uint64_t supportBlocks = 0;    // reference and support blocks
    std::array<std::uint8_t, std::size_t{MAP_ART_SIDE} * MAP_ART_SIDE> colors{};  // map color ids, x fastest
    double meanColumnHeight = 0;        // over the columns with art: the highest y + 1
};

struct MapArt {
    std::uint32_t mapsWide = 0, mapsTall = 0;
    std::vector<MapPiece> pieces;  // row by row from the north-west
    std::uint32_t height = 0;      // the tallest piece's
    double meanColumnHeight = 0;   // over every column with art
    std::string refusal;           // non-empty: the art needs more height than it may have
};

}  // namespace tesselbox
