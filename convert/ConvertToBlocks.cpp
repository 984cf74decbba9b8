#include "convert/ConvertToBlocks.h"

#include "palette/NearestColorIndex.h"

#include <algorithm>
#include <new>
#include <system_error>
#include <thread>

namespace tesselbox {
namespace {

// Below this many pixels a second thread costs more than it saves.
constexpr std::uint64_t PARALLEL_PIXELS = 1u << 18;

void ConvertRange(const ColorTable& table, const Pixel* source, Pixel* preview,
                  std::int32_t* grid, std::size_t begin, std::size_t end) {
    NearestColorIndex index(table);
    for (std::size_t i = begin; i < end; ++i) {
        const std::int32_t block = BlockFor(source[i], index);
        grid[i] = block;
        if (block != NO_BLOCK) preview[i] = table.colors[static_cast<std::size_t>(block)];
    }
}

}  // namespace

std::int32_t BlockFor(Pixel pixel, NearestColorIndex& index) {
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
        const unsigned threads = n >= PARALLEL_PIXELS
                                     ? std::max(1u, std::min(2u, std::thread::hardware_concurrency()))
                                     : 1u;
        const std::size_t half = threads == 1 ? n : n / 2;
        std::thread helper;
        if (half < n) {
            try {
                helper = std::thread(ConvertRange, std::cref(table), from, to, cells, half, n);
            } catch (const std::system_error&) {
                ConvertRange(table, from, to, cells, half, n);  // no thread to be had: do it here
            }
        }
        ConvertRange(table, from, to, cells, 0, half);
        if (helper.joinable()) helper.join();
    }
    grid.swap(next);
    return true;
}

}  // namespace tesselbox
