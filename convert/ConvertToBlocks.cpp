#include "convert/ConvertToBlocks.h"

#include "palette/NearestColorIndex.h"

#include <algorithm>
#include <atomic>
#include <new>
#include <system_error>
#include <thread>

namespace tesselbox {
namespace {

// One row of the grid: every pixel is searched, in one sweep that the index runs fastest; the
// transparent ones, usually all of one color, then give up their answers.
void ConvertRow(const ColorTable& table, const NearestColorIndex& index, const Pixel* source,
                std::size_t width, Pixel* preview, std::int32_t* grid) {
    index.FindAll(source, width, grid);
    for (std::size_t x = 0; x < width; ++x) {
        if (AlphaOf(source[x]) < ALPHA_THRESHOLD) {
            grid[x] = NO_BLOCK;
        } else if (preview != nullptr) {
            preview[x] = table.colors[static_cast<std::size_t>(grid[x])];
        }
    }
}

// The index cells the picture needs, from a sample of its pixels when it is large: a cell the
// sample misses is built when first searched.
ExpectedCells CellsFor(const SourceRows& source) {
    constexpr std::size_t SAMPLES = std::size_t{1} << 17;
    const std::size_t width = source.width;
    const std::size_t count = width * source.height;
    const std::size_t step = (count / SAMPLES) | 1;  // odd, so not a multiple of a row width
    ExpectedCells cells;
    for (std::size_t i = 0; i < count; i += step) {
        const Pixel pixel = source.Row(i / width)[i % width];
        if (AlphaOf(pixel) >= ALPHA_THRESHOLD) cells.Add(pixel);
    }
    return cells;
}

// The index parts, then the rows in runs, handed out one at a time, so a thread that starts
// late, or shares its core with other programs, leaves the rest to the other instead of holding
// up the end.
struct Work {
    const ColorTable& table;
    const NearestColorIndex& index;
    const ExpectedCells& expected;
    const SourceRows& source;
    Pixel* preview;
    std::int32_t* grid;
    std::size_t rowsPerRun;
    std::atomic<int> nextPart{0};
    std::atomic<std::size_t> nextRow{0};
    std::atomic<bool> outOfMemory{false};  // the index builds its cells as it goes

    void Run() {
        const std::size_t width = source.width, height = source.height;
        try {
            for (int part; (part = nextPart.fetch_add(1)) < NearestColorIndex::PARTS;) {
                index.BuildAhead(expected, part);
            }
            for (std::size_t begin; (begin = nextRow.fetch_add(rowsPerRun)) < height;) {
                for (std::size_t y = begin; y < std::min(begin + rowsPerRun, height); ++y) {
                    ConvertRow(table, index, source.Row(y), width,
                               preview != nullptr ? preview + y * width : nullptr,
                               grid + y * width);
                }
            }
        } catch (const std::bad_alloc&) {
            outOfMemory = true;
            nextRow = height;
        }
    }
};

}  // namespace

bool ConvertToBlocks(const ColorTable& table, const SourceRows& source, PixelSurface& preview,
                     BlockGrid& grid) {
    const std::size_t n = std::size_t{source.width} * source.height;
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
            const ExpectedCells expected = CellsFor(source);
            constexpr std::size_t RUN = 4096;  // pixels
            Work work{table, index, expected, source, preview.bits(), next.data(),
                      std::max<std::size_t>(1, RUN / source.width)};
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

bool ConvertToBlocks(const ColorTable& table, const PixelSurface& source, PixelSurface& preview,
                     BlockGrid& grid) {
    return ConvertToBlocks(table, SourceRows{source.bits(), std::ptrdiff_t{source.width()},
                                             source.width(), source.height()},
                           preview, grid);
}

}  // namespace tesselbox
