#include "convert/ConvertToBlocks.h"

#include "palette/NearestColorIndex.h"

#include <algorithm>
#include <atomic>
#include <functional>
#include <new>
#include <system_error>
#include <thread>

namespace tesselbox {
namespace {

// Below this many pixels a second thread costs more than it saves.
constexpr std::uint64_t PARALLEL_PIXELS = 1u << 14;

void ConvertPixels(const ColorTable& table, const NearestColorIndex& index, const Pixel* source,
                   Pixel* preview, std::int32_t* grid, std::size_t begin, std::size_t end) {
    // Neighbouring pixels often share a color: remember the last answer.
    Pixel lastColor = 0xFFFFFFFFu;  // no masked color equals it
    std::int32_t lastBlock = NO_BLOCK;
    for (std::size_t i = begin; i < end; ++i) {
        const Pixel pixel = source[i];
        if (AlphaOf(pixel) < ALPHA_THRESHOLD) {
            grid[i] = NO_BLOCK;
            continue;
        }
        const Pixel color = pixel & 0x00FFFFFFu;
        if (color != lastColor) {
            lastColor = color;
            lastBlock = index.Find(pixel);
        }
        grid[i] = lastBlock;
        preview[i] = table.colors[static_cast<std::size_t>(lastBlock)];
    }
}

// The index builds its cells as it goes, so memory can run out in either thread.
void ConvertRange(const ColorTable& table, const NearestColorIndex& index, const Pixel* source,
                  Pixel* preview, std::int32_t* grid, std::size_t begin, std::size_t end,
                  std::atomic<bool>& outOfMemory) {
    try {
        ConvertPixels(table, index, source, preview, grid, begin, end);
    } catch (const std::bad_alloc&) {
        outOfMemory = true;
    }
}

}  // namespace

std::int32_t BlockFor(Pixel pixel, const NearestColorIndex& index) {
    return AlphaOf(pixel) < ALPHA_THRESHOLD ? NO_BLOCK : index.Find(pixel);
}

bool ConvertToBlocks(const ColorTable& table, const PixelSurface& source, PixelSurface& preview,
                     BlockGrid& grid) {
    const std::size_t n = static_cast<std::size_t>(source.pixelCount());
    BlockGrid next;
    try {
        next.resize(n);
    } catch (const std::bad_alloc&) {
        return false;
    }
    if (n > 0) {
        const Pixel* from = source.bits();
        Pixel* to = preview.bits();
        std::int32_t* cells = next.data();
        std::atomic<bool> outOfMemory = false;
        try {
            // Shared, so each cell is built once, by whichever thread needs it first.
            const NearestColorIndex index(table);
            const unsigned threads =
                n >= PARALLEL_PIXELS
                    ? std::max(1u, std::min(2u, std::thread::hardware_concurrency()))
                    : 1u;
            const std::size_t half = threads == 1 ? n : n / 2;
            std::thread helper;
            if (half < n) {
                try {
                    helper = std::thread(ConvertRange, std::cref(table), std::cref(index), from, to,
                                         cells, half, n, std::ref(outOfMemory));
                } catch (const std::system_error&) {  // no thread to be had: do it here
                    ConvertRange(table, index, from, to, cells, half, n, outOfMemory);
                }
            }
            ConvertRange(table, index, from, to, cells, 0, half, outOfMemory);
            if (helper.joinable()) helper.join();
        } catch (const std::bad_alloc&) {
            return false;
        }
        if (outOfMemory) return false;
    }
    grid.swap(next);
    return true;
}

}  // namespace tesselbox
