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

// From this many pixels on the conversion runs on two threads; below, a second costs more than it
// saves.
inline constexpr std::uint64_t PARALLEL_CONVERSION_PIXELS = 1u << 14;

// Preconditions: source and preview were created at the same size, preview is still all zero,
// table.count >= 1. A preview without pixels is left unpainted (the grid alone is wanted). Replaces grid; false (grid untouched, preview perhaps partly painted) only when
// memory for the grid or the color index cannot be had.
bool ConvertToBlocks(const ColorTable& table, const PixelSurface& source, PixelSurface& preview,
                     BlockGrid& grid);

}  // namespace tesselbox
