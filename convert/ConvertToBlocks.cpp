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
    // Every pixel is searched, in one sweep that the index runs fastest; the transparent ones,
    // usually all of one color, then give up their answers.
    index.FindAll(source + begin, end - begin, grid + begin);
    for (std::size_t i = begin; i < end; ++i) {
        if (AlphaOf(source[i]) < ALPHA_THRESHOLD) {
            grid[i] = NO_BLOCK;
        } else if (preview != nullptr) {
            preview[i] = table.colors[static_cast<std::size_t>(grid[i])];
        }
    }
}

// The index cells the picture needs, from a sample of its pixels when it is large: a cell the
// sample misses is built when first searched.
ExpectedCells CellsFor(const Pixel* pixels, std::size_t count) {
    constexpr std::size_t SAMPLES = std::size_t{1} << 17;
    const std::size_t step = (count / SAMPLES) | 1;  // odd, so not a multiple of a row width
    ExpectedCells cells;
    for (std::size_t i = 0; i < count; i += step) {
        if (AlphaOf(pixels[i]) >= ALPHA_THRESHOLD) cells.Add(pixels[i]);
    }
    return cells;
}

// The index parts, then the pixels in runs, handed out one at a time, so a thread that starts
// late, or shares its core with other programs, leaves the rest to the other instead of holding
// up the end.
struct Work {
    static constexpr std::size_t RUN = 4096;
    const ColorTable& table;
    const NearestColorIndex& index;
    const ExpectedCells& expected;
    const Pixel* source;
    Pixel* preview;
    std::int32_t* grid;
    std::size_t count;
    std::atomic<int> nextPart{0};
    std::atomic<std::size_t> nextRun{0};
    std::atomic<bool> outOfMemory{false};  // the index builds its cells as it goes

    void Run() {
        try {
            for (int part; (part = nextPart.fetch_add(1)) < NearestColorIndex::PARTS;) {
                index.BuildAhead(expected, part);
            }
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
            const ExpectedCells expected = CellsFor(from, n);
            Work work{table, index, expected, from, to, next.data(), n};
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
