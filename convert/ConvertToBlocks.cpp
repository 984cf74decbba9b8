#include "convert/ConvertToBlocks.h"

#include "palette/NearestColorIndex.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <memory>
#include <mutex>
#include <new>
#include <thread>

namespace tesselbox {
namespace {

constexpr std::size_t RUN = 4096;  // pixels handed to a thread at a time

// One row of the grid: every pixel is searched, in one sweep that the index runs fastest; the
// transparent ones, usually all of one color, then give up their answers.
void ConvertRow(const ColorTable& table, const NearestColorIndex& index, const SourceRows& source,
                const Pixel* pixels, Pixel* preview, std::int32_t* grid) {
    const std::size_t width = source.width;
    index.FindAll(pixels, width, grid);
    for (std::size_t x = 0; x < width; ++x) {
        if (!source.IsOpaque(pixels[x])) {
            grid[x] = NO_BLOCK;
        } else if (preview != nullptr) {
            preview[x] = table.colors[static_cast<std::size_t>(grid[x])];
        }
    }
}

// The index cells the picture needs, from a sample of its pixels when it is large: a cell the
// sample misses is built when first searched.
ExpectedCells CellsFor(const SourceRows& source) {
    constexpr std::size_t SAMPLES = std::size_t{1} << 15;
    const std::size_t width = source.width;
    const std::size_t step = (width * source.height / SAMPLES) | 1;  // odd: not a row's multiple
    ExpectedCells cells;
    std::size_t x = 0;  // every step-th pixel in reading order
    for (std::uint32_t y = 0; y < source.height; ++y, x -= width) {
        const Pixel* row = source.Row(y);
        for (; x < width; x += step) {
            if (source.IsOpaque(row[x])) cells.Add(row[x]);
        }
    }
    return cells;
}

// The index parts, then the rows in runs, handed out one at a time, so a thread that starts
// late, or shares its core with other programs, leaves the rest to the other instead of holding
// up the end. convertRows(index, begin, end) converts the rows [begin, end) of its own counting.
template <typename ConvertRows>
struct Work {
    enum Stage { PREPARING, READY, GIVEN_UP };

    Work(const ColorTable& table_, const SourceRows& source_, std::size_t rows_,
         std::size_t rowsPerRun_, ConvertRows convertRows_)
        : table(table_), source(source_), rows(rows_), rowsPerRun(rowsPerRun_),
          convertRows(convertRows_) {}

    const ColorTable& table;
    const SourceRows& source;
    std::size_t rows;
    std::size_t rowsPerRun;
    ConvertRows convertRows;
    // Shared, so each cell is built once, by whichever thread needs it first.
    std::unique_ptr<const NearestColorIndex> index;
    ExpectedCells expected;
    // A mutex and a condition, not atomic wait, which can miss its wake-up in MinGW's GCC 12.
    std::mutex stageMutex;
    std::condition_variable stageSet;
    Stage stage = PREPARING;
    std::atomic<bool> prepared{false};  // stage is no longer PREPARING
    std::atomic<int> nextPart{0};
    std::atomic<std::size_t> nextRow{0};
    std::atomic<bool> outOfMemory{false};  // the index builds its cells as it goes

    // The first thread's part, while a second one may be starting.
    void Prepare() {
        Stage reached = GIVEN_UP;
        try {
            index = std::make_unique<const NearestColorIndex>(table);
            expected = CellsFor(source);
            reached = READY;
        } catch (const std::bad_alloc&) {
            outOfMemory = true;
        }
        {
            const std::lock_guard lock(stageMutex);
            stage = reached;
        }
        prepared = true;
        stageSet.notify_all();
    }

    void Run() {
        // Preparing takes some tens of microseconds: a thread that arrives meanwhile looks again
        // for a while before it sleeps, as waking it costs about as much.
        const auto until = std::chrono::steady_clock::now() + std::chrono::microseconds(200);
        while (!prepared && std::chrono::steady_clock::now() < until) std::this_thread::yield();
        {
            std::unique_lock lock(stageMutex);
            stageSet.wait(lock, [this] { return stage != PREPARING; });
            if (stage != READY) return;
        }
        try {
            for (int part; (part = nextPart.fetch_add(1)) < NearestColorIndex::PARTS;) {
                index->BuildAhead(expected, part);
            }
            for (std::size_t begin; (begin = nextRow.fetch_add(rowsPerRun)) < rows;) {
                convertRows(*index, begin, std::min(begin + rowsPerRun, rows));
            }
        } catch (const std::bad_alloc&) {
            outOfMemory = true;
            nextRow = rows;
        }
    }
};

// Runs the conversion on one or two threads; false when memory ran out. A second thread is
// started first, since it may take a while to get going.
template <typename ConvertRows>
bool Convert(const ColorTable& table, const SourceRows& source, std::size_t rows,
             std::size_t rowsPerRun, ConvertRows convertRows) {
    Work<ConvertRows> work(table, source, rows, rowsPerRun, convertRows);
    std::thread helper = SecondThreadFor(std::uint64_t{source.width} * source.height, [&work] { work.Run(); });
    work.Prepare();
    work.Run();
    if (helper.joinable()) helper.join();
    return !work.outOfMemory;
}

}  // namespace

bool ConvertToBlocks(const ColorTable& table, const SourceRows& source, PixelSurface& preview,
                     BlockGrid& grid) {
    const std::size_t width = source.width;
    BlockGrid next;
    try {
        next.resize(width * source.height);
    } catch (const std::bad_alloc&) {
        return false;
    }
    if (!next.empty()) {
        Pixel* previewBits = preview.bits();
        std::int32_t* blocks = next.data();
        const auto convertRows = [&](const NearestColorIndex& index, std::size_t begin,
                                     std::size_t end) {
            for (std::size_t y = begin; y < end; ++y) {
                ConvertRow(table, index, source, source.Row(y),
                           previewBits != nullptr ? previewBits + y * width : nullptr,
                           blocks + y * width);
            }
        };
        if (!Convert(table, source, source.height, std::max<std::size_t>(1, RUN / width),
                     convertRows)) {
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

bool ConvertToBlocksInPlace(const ColorTable& table, std::uint32_t width, std::uint32_t height,
                            bool opaque, PixelSurface& preview, BlockGrid& grid) {
    const std::size_t w = width;
    if (grid.empty()) return true;
    // Signed and unsigned 32-bit integers may alias, so the grid's memory is read as pixels.
    const auto* pixels = reinterpret_cast<const Pixel*>(grid.data());
    const SourceRows source{pixels + std::size_t{height - 1} * w, -std::ptrdiff_t{width}, width,
                            height, opaque};
    Pixel* previewBits = preview.bits();
    std::int32_t* blocks = grid.data();
    // Picture row r (from the top) becomes grid row height - 1 - r, where picture row
    // height - 1 - r lies: the two rows are read before either is written.
    const auto convertPairs = [&](const NearestColorIndex& index, std::size_t begin,
                                  std::size_t end) {
        BlockGrid top(w), bottom(w);
        for (std::size_t r = begin; r < end; ++r) {
            const std::size_t q = height - 1 - r;
            ConvertRow(table, index, source, pixels + r * w,
                       previewBits != nullptr ? previewBits + q * w : nullptr, top.data());
            if (q != r) {
                ConvertRow(table, index, source, pixels + q * w,
                           previewBits != nullptr ? previewBits + r * w : nullptr, bottom.data());
                std::memcpy(blocks + r * w, bottom.data(), w * sizeof(std::int32_t));
            }
            std::memcpy(blocks + q * w, top.data(), w * sizeof(std::int32_t));
        }
    };
    if (!Convert(table, source, (std::size_t{height} + 1) / 2,
                 std::max<std::size_t>(1, RUN / (2 * w)), convertPairs)) {
        grid = BlockGrid();  // neither pixels nor blocks any more
        return false;
    }
    return true;
}

}  // namespace tesselbox
