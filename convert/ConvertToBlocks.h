// Turns the picture in a source surface into blocks: a grid of color-table indices (NO_BLOCK where
// the pixel is not opaque enough) and a preview painted in the chosen entries' colors.
#pragma once

#include "convert/PixelSurface.h"
#include "palette/BlockGrid.h"
#include "palette/ColorTable.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

namespace tesselbox {

inline constexpr std::uint8_t ALPHA_THRESHOLD = 230;

// From this many pixels on the conversion runs on two threads; below, a second costs more than it
// saves.
inline constexpr std::uint64_t PARALLEL_CONVERSION_PIXELS = 1u << 14;

// A second thread running `work` for a picture of this many pixels, or none (not joinable) when the
// picture is too small, the machine has one core, or no thread is to be had: the caller then does
// it all.
template <typename Work>
std::thread SecondThreadFor(std::uint64_t pixels, Work&& work) {
    if (pixels < PARALLEL_CONVERSION_PIXELS || std::thread::hardware_concurrency() == 1) return {};
    try {
        return std::thread(std::forward<Work>(work));
    } catch (const std::system_error&) {
        return {};
    }
}

// Pixels in the grid's order, bottom picture row first: grid row y starts at bottomRow + y * step,
// so a buffer kept top row first is read with a negative step.
struct SourceRows {
    const Pixel* bottomRow;
    std::ptrdiff_t step;  // in pixels
    std::uint32_t width;
    std::uint32_t height;
    bool opaque = false;  // every pixel becomes a block, whatever its alpha byte

    const Pixel* Row(std::size_t y) const { return bottomRow + static_cast<std::ptrdiff_t>(y) * step; }
    // Whether the pixel becomes a block.
    bool IsOpaque(Pixel pixel) const { return opaque || AlphaOf(pixel) >= ALPHA_THRESHOLD; }
};

// Preconditions: source and preview were created at the same size, preview is still all zero,
// table.count >= 1. A preview without pixels is left unpainted (the grid alone is wanted).
// Replaces grid; false (grid untouched, preview perhaps partly painted) only when memory for the
// grid or the color index cannot be had.
bool ConvertToBlocks(const ColorTable& table, const PixelSurface& source, PixelSurface& preview,
                     BlockGrid& grid);
// The same from pixels elsewhere; preview has the source's size.
bool ConvertToBlocks(const ColorTable& table, const SourceRows& source, PixelSurface& preview,
                     BlockGrid& grid);

// The same where the grid's own memory holds the picture, width × height Pixels top row first,
// so that a large picture needs one buffer of its size instead of two. False, with the grid
// emptied, only when memory for the color index cannot be had.
bool ConvertToBlocksInPlace(const ColorTable& table, std::uint32_t width, std::uint32_t height,
                            bool opaque, PixelSurface& preview, BlockGrid& grid);

}  // namespace tesselbox
