// Fast exact nearest-color lookup: always the index FindNearestColor returns (ties to the lowest
// index), at a cost per pixel that hardly grows with the table.
#pragma once

#include "palette/ColorTable.h"

#include <cstdint>
#include <memory>

namespace tesselbox {

class NearestColorIndex {
public:
    // Keeps a reference to the table, which must outlive the index and not change. count >= 1.
    explicit NearestColorIndex(const ColorTable& table);
    ~NearestColorIndex();
    NearestColorIndex(const NearestColorIndex&) = delete;
    NearestColorIndex& operator=(const NearestColorIndex&) = delete;

    // Not thread-safe: caches what it has computed. Use one index per thread.
    std::int32_t Find(Pixel pixel);

private:
    struct Cells;
    const ColorTable& table_;
    std::unique_ptr<Cells> cells_;
};

}  // namespace tesselbox
