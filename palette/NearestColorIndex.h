// Fast exact nearest-color lookup: always the index FindNearestColor returns (ties to the lowest
// index), at a cost per pixel that hardly grows with the table.
#pragma once

#include "palette/ColorTable.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>

namespace tesselbox {

// Which instructions the inner loops use. Every choice gives the same answers; Fastest takes the
// best this processor has, the others are there so tests and benchmarks can compare them.
enum class SearchInstructions { Plain, Sse2, Sse41, Fastest };

// The finest cells of an index that a set of colors falls in (16 levels a side).
class ExpectedCells {
public:
    static constexpr std::uint32_t COUNT = 16 * 16 * 16;
    static std::uint32_t CellOf(Pixel pixel) {
        return (pixel >> 12 & 0xF00u) | (pixel >> 8 & 0xF0u) | (pixel >> 4 & 0xFu);
    }
    void Add(Pixel pixel) {
        const std::uint32_t cell = CellOf(pixel);
        words_[cell / 64] |= std::uint64_t{1} << (cell % 64);
    }
    bool Has(std::uint32_t cell) const { return (words_[cell / 64] >> (cell % 64) & 1u) != 0; }

private:
    std::array<std::uint64_t, COUNT / 64> words_{};
};

class NearestColorIndex {
public:
    static bool Supports(SearchInstructions instructions);

    // Copies what it needs of the table, so the table may change or go away afterwards. count >= 1.
    // Instructions the processor lacks fall back to Fastest.
    explicit NearestColorIndex(const ColorTable& table,
                               SearchInstructions instructions = SearchInstructions::Fastest);
    ~NearestColorIndex();
    NearestColorIndex(const NearestColorIndex&) = delete;
    NearestColorIndex& operator=(const NearestColorIndex&) = delete;

    // Builds what it needs on first use; several threads may search one index at once.
    std::int32_t Find(Pixel pixel) const;
    // Find for each of `count` colors, their alpha ignored; faster than one at a time.
    void FindAll(const Pixel* colors, std::size_t count, std::int32_t* indices) const;

    // Threads that search one index at once run faster when each has built its own share of the
    // cells beforehand than when they meet in the same cells while searching. The cells fall into
    // PARTS shares; any thread may build any part, at any time, and a cell nobody built ahead is
    // built on first use as ever.
    static constexpr int PARTS = 64;
    void BuildAhead(const ExpectedCells& cells, int part) const;

private:
    struct Cells;
    std::unique_ptr<Cells> cells_;
};

}  // namespace tesselbox
