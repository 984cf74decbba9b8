// Turns the picture in a source surface into blocks: a grid of color-table indices (NO_BLOCK where
// the pixel is not opaque enough) and a preview painted in the chosen entries' colors.
#pragma once

#include "convert/PixelSurface.h"
#include "palette/ColorTable.h"
#include "schematic/SchematicWriter.h"

#include <cstdint>
#include <vector>

namespace tesselbox {

inline constexpr std::uint8_t ALPHA_THRESHOLD = 230;

// One entry per surface pixel, in the surfaces' order (bottom picture row first).
using BlockGrid = std::vector<std::int32_t>;

// Preconditions: source and preview were created at the same size, preview is still all zero,
// table.count >= 1. Replaces grid; false (grid untouched, preview perhaps partly painted) only when
// memory for the grid or the color index cannot be had.
bool ConvertToBlocks(const ColorTable& table, const PixelSurface& source, PixelSurface& preview,
                     BlockGrid& grid);

// The same decision for one pixel: NO_BLOCK, or the entry the fast index finds.
std::int32_t BlockFor(Pixel pixel, const class NearestColorIndex& index);

}  // namespace tesselbox
