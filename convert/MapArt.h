// Map art: a picture made of blocks that an empty map held over them draws as the picture. The
// map draws each column's top block in its base color, in one of three shades chosen by the
// block's height against the block north of it (lower 180, level 220, higher 255). The picture
// is matched against those shades as against any color table, then every map's columns are given
// the heights their shades need.
#pragma once

#include "convert/ConversionChoice.h"
#include "convert/FitToPanel.h"
#include "convert/PixelSurface.h"
#include "palette/BlockGrid.h"
#include "palette/BlockStates.h"
#include "palette/ColorTable.h"

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tesselbox {

// One map shows this many block columns a side, at its most detailed scale.
inline constexpr std::uint32_t MAP_ART_SIDE = 128;
// The shade numbers of a map color id (base * 4 + shade) that blocks can give.
inline constexpr std::uint8_t SHADE_LOWER = 0, SHADE_LEVEL = 1, SHADE_HIGHER = 2;

enum class MapMode {
    Flat,       // one layer: every block level with its northern neighbour, the 220 shade only
    Staircase,  // each block one higher, level or one lower than the block north of it
    Valley,     // the same shades with the least height: every run rests as low as it can
};
std::optional<MapMode> MapModeFromName(std::string_view name);  // "flat", "staircase", "valley"
std::string_view MapModeName(MapMode mode);

inline constexpr std::string_view DEFAULT_SUPPORT_BLOCK = "minecraft:cobblestone";

struct MapPaletteRequest {
    MapMode mode = MapMode::Flat;
    const GameVersion* version = nullptr;  // nullptr: the newest
    // The blocks a table offers (each entry's block name, without properties); empty: every block
    // that has a map color.
    std::vector<std::string> offered;
    std::vector<std::string> only, exclude;  // as for ChooseBlocks
    std::string supportBlock = std::string(DEFAULT_SUPPORT_BLOCK);
};

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

// Builds the table; an English message (naming the block) instead when the support block is not
// one that can stand alone with a map color, or when the choice leaves no base color at all.
std::optional<std::string> MakeMapPalette(const MapPaletteRequest& request, MapPalette& out);

// The heights of one column north to south. shades[i] is the shade art cell i needs, or -1 where
// there is no art; cell 0 is the row north of the art and holds no art. Every art cell gets a
// height, and so does the cell north of each run of art cells (its reference block); the rest
// -1. Each run and its reference start from 0 at their lowest.
std::vector<std::int32_t> ColumnHeights(std::span<const std::int8_t> shades, MapMode mode);

struct MapArtRequest {
    MapMode mode = MapMode::Flat;
    std::uint32_t mapsWide = 1, mapsTall = 1;
    std::uint32_t maxHeight = 0;  // 0: only the game's build height
    const GameVersion* version = nullptr;
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

// The maps' side in blocks: the picture is fitted into it without stretching.
PictureSize MapArtCanvas(const MapArtRequest& request);
// The largest size of this picture's shape that fits the canvas.
PictureSize FitToMaps(PictureSize picture, const MapArtRequest& request);

// The art from a grid matched against palette.table (width × height, bottom row first, at most
// the canvas), centred on the canvas, the rest left empty. out.refusal says when it is too tall.
void BuildMapArt(const BlockGrid& grid, std::uint32_t width, std::uint32_t height, const MapPalette& palette,
                 const MapArtRequest& request, MapArt& out);

// A piece's blocks, fileTable entries in cells: x 128, z 129 (z = 0 the reference row), y its layers.
BlockVolume PieceVolume(const MapPiece& piece, const MapPalette& palette, std::vector<std::int32_t>& cells);

// The maps as the game draws them: the canvas, transparent where a map shows nothing. False when
// no memory could be had for it.
bool PaintMapPreview(const MapArt& art, const MapPalette& palette, PixelSurface& preview);

}  // namespace tesselbox
