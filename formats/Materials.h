// The bill of materials: how many of each block (id:data or name) a converted picture needs, as
// the material list and its CSV show it.
#pragma once

#include "palette/BlockGrid.h"
#include "palette/ColorTable.h"

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

namespace tesselbox {

struct MaterialCount {
    std::uint8_t blockId = 0;
    std::uint8_t blockData = 0;
    std::string blockState;  // a named entry's block; then id:data are not used
    std::uint64_t count = 0;
    std::int32_t firstEntry = 0;  // the earliest table entry with this id:data that was used
    std::string name;             // that entry's name
    friend bool operator==(const MaterialCount&, const MaterialCount&) = default;
};

struct BillOfMaterials {
    std::vector<MaterialCount> materials;  // most used first, then by id and data
    std::uint64_t blocks = 0;
    std::uint64_t emptyCells = 0;  // NO_BLOCK: no block is placed there
};

// Table entries that share an id:data or a block name (two shades of one block) count as one material.
BillOfMaterials CountMaterials(const BlockGrid& grid, const ColorTable& table);
// The sum of two bills, e.g. over a batch.
BillOfMaterials AddMaterials(const BillOfMaterials& a, const BillOfMaterials& b);
// blockNames, when not empty, holds each table entry's block state, shown beside its id:data.
// From 64 on, a line also says how many stacks of 64 that is, and shulker boxes of 27 stacks from one on.
void PrintMaterials(std::ostream& out, const BillOfMaterials& bill,
                    const std::vector<std::string>& blockNames = {});
// The same as CSV: a heading, then one row per material, most used first.
std::string MaterialsCsv(const BillOfMaterials& bill, const std::vector<std::string>& blockNames = {});

}  // namespace tesselbox
