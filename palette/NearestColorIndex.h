// Fast exact nearest-color lookup: always the index FindNearestColor returns (ties to the lowest
// index), at a cost per pixel that hardly grows with the table.
#pragma once

#include "palette/ColorTable.h"

#include <cstdint>
#include <memory>

namespace tesselbox {

// Which instructions the inner loops use. Every choice gives the same answers; Fastest takes the
// best this processor has, the others are there so tests and benchmarks can compare them.
enum class SearchInstructions { Plain, Sse2, Sse41, Fastest };

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

private:
    struct Cells;
    std::unique_ptr<Cells> cells_;
};

}  // namespace tesselbox
