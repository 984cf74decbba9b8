#include "convert/ConvertToBlocks.h"

#include "palette/NearestColorIndex.h"

#include <algorithm>
#include <atomic>
#include <new>
#include <system_error>
#include <thread>

namespace tesselbox {
namespace {

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
        if (preview != nullptr) preview[i] = table.colors[static_cast<std::size_t>(lastBlock)];
    }
}

// The pixels in runs handed out one at a time, so a thread that starts late, or shares its core
// with other programs, leaves the rest to the other instead of holding up the end.
struct Work {
    static constexpr std::size_t RUN = 4096;
    const ColorTable& table;
    const NearestColorIndex& index;
    const Pixel* source;
    Pixel* preview;
    std::int32_t* grid;
    std::size_t count;
    std::atomic<std::size_t> nextRun{0};
    std::atomic<bool> outOfMemory{false};  // the index builds its cells as it goes

    void Run() {
        try {
            for (std::size_t begin; (begin = nextRun.fetch_add(RUN)) < count;) {
                ConvertPixels(table, index, source, preview, grid, begin,
                              std::min(begin + RUN, count));
            }
        } catch (const std::bad_alloc&) {
            outOfMemory = true;
            nextRun = count;
        }
    }
};

}  // namespace

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
        try {
            // Shared, so each cell is built once, by whichever thread needs it first.
            const NearestColorIndex index(table);
            const Pixel* from = source.bits();
            Pixel* to = preview.bits();
            Work work{table, index, from, to, next.data(), n};
            std::thread helper;
            if (n >= PARALLEL_CONVERSION_PIXELS && std::thread::hardware_concurrency() != 1) {
                try {
                    helper = std::thread(&Work::Run, &work);
                } catch (const std::system_error&) {  // no thread to be had: one does it all
                }
            }
            work.Run();
            if (helper.joinable()) helper.join();
            if (work.outOfMemory) return false;
        } catch (const std::bad_alloc&) {
            return false;
        }
    }
    grid.swap(next);
    return true;
}

}  // namespace tesselbox
