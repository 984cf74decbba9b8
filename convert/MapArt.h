// Map art: a picture made of blocks that an empty map held over them draws as the picture. The
// map draws each column's top block in its base color, in one of three shades chosen by the
// block's height against the block north of it (lower 180, level 220, higher 255). The picture
// is matched against those shades as against any color table, then every map's columns are given
// the heights their shades need.
#pragma once

#include "convert/ConversionChoice.h"
#include "convert/FitToPanel.h"
#include "convert/PixelSurface.h"
#include "palette/BlockStates.h"
#include "palette/MapArtBlocks.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tesselbox {

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

// The maps' side in blocks: the picture is fitted into it without stretching.
PictureSize MapArtCanvas(const MapArtRequest& request);
// The largest size of this picture's shape that fits the canvas.
PictureSize FitToMaps(PictureSize picture, const MapArtRequest& request);

// The art from a grid matched against palette.table (width × height, bottom row first, at most
// the canvas), centred on the canvas, the rest left empty. out.refusal says when it is too tall.
void BuildMapArt(const BlockGrid& grid, std::uint32_t width, std::uint32_t height, const MapPalette& palette,
                 const MapArtRequest& request, MapArt& out);

// The maps as the game draws them: the canvas, transparent where a map shows nothing. False when
// no memory could be had for it.
bool PaintMapPreview(const MapArt& art, const MapPalette& palette, PixelSurface& preview);

}  // namespace tesselbox
