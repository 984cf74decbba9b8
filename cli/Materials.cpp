#include "cli/Materials.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <map>

namespace tesselbox::cli {
namespace {

std::uint32_t Key(std::uint8_t id, std::uint8_t data) { return (std::uint32_t{id} << 8) | data; }

void SortMostUsedFirst(std::vector<MaterialCount>& materials) {
    std::sort(materials.begin(), materials.end(), [](const auto& a, const auto& b) {
        if (a.count != b.count) return a.count > b.count;
        return Key(a.blockId, a.blockData) < Key(b.blockId, b.blockData);
    });
}

}  // namespace

BillOfMaterials CountMaterials(const BlockGrid& grid, const ColorTable& table) {
    std::vector<std::uint64_t> perEntry(static_cast<std::size_t>(table.count), 0);
    BillOfMaterials bill;
    for (const std::int32_t cell : grid) {
        if (cell == NO_BLOCK) {
            ++bill.emptyCells;
        } else {
            ++perEntry[static_cast<std::size_t>(cell)];
        }
    }
    std::map<std::uint32_t, MaterialCount>
        byBlock;  // entries in table order: the earliest names it
    for (std::size_t i = 0; i < perEntry.size(); ++i) {
        if (perEntry[i] == 0) continue;
        const std::uint8_t id = table.blockIds[i];
        const std::uint8_t data = table.blockData[i];
        const auto entry = static_cast<std::int32_t>(i);
        auto [at, added] =
            byBlock.try_emplace(Key(id, data), MaterialCount{id, data, 0, entry, table.names[i]});
        at->second.count += perEntry[i];
        bill.blocks += perEntry[i];
    }
    for (auto& [key, material] : byBlock) bill.materials.push_back(std::move(material));
    SortMostUsedFirst(bill.materials);
    return bill;
}

BillOfMaterials AddMaterials(const BillOfMaterials& a, const BillOfMaterials& b) {
    std::map<std::uint32_t, MaterialCount> byBlock;
    for (const auto* bill : {&a, &b}) {
        for (const MaterialCount& material : bill->materials) {
            auto [at, added] =
                byBlock.try_emplace(Key(material.blockId, material.blockData), material);
            if (added) continue;
            at->second.count += material.count;
            if (material.firstEntry < at->second.firstEntry) {
                at->second.firstEntry = material.firstEntry;
                at->second.name = material.name;
            }
        }
    }
    BillOfMaterials sum;
    for (auto& [key, material] : byBlock) sum.materials.push_back(std::move(material));
    SortMostUsedFirst(sum.materials);
    sum.blocks = a.blocks + b.blocks;
    sum.emptyCells = a.emptyCells + b.emptyCells;
    return sum;
}

void PrintMaterials(std::ostream& out, const BillOfMaterials& bill,
                    const std::vector<std::string>& blockNames) {
    // The count column is as wide as the largest number printed, so the lines line up.
    const std::uint64_t widest = std::max(bill.blocks, bill.emptyCells);
    const int width = static_cast<int>(std::to_string(widest).size());
    std::array<char, 64> line{};
    for (const MaterialCount& material : bill.materials) {
        const std::string block =
            std::to_string(material.blockId) + ":" + std::to_string(material.blockData);
        std::snprintf(line.data(), line.size(), "%*llu  %-7s", width,
                      static_cast<unsigned long long>(material.count), block.c_str());
        std::string text = line.data();
        const auto entry = static_cast<std::size_t>(material.firstEntry);
        if (entry < blockNames.size()) text += "  " + blockNames[entry];
        if (!material.name.empty()) text += "  " + material.name;
        while (!text.empty() && text.back() == ' ') text.pop_back();
        out << text << "\n";
    }
    std::snprintf(line.data(), line.size(), "%*llu", width,
                  static_cast<unsigned long long>(bill.blocks));
    const std::size_t kinds = bill.materials.size();
    out << line.data() << "  blocks in total, " << kinds << (kinds == 1 ? " kind" : " kinds")
        << "\n";
    std::snprintf(line.data(), line.size(), "%*llu", width,
                  static_cast<unsigned long long>(bill.emptyCells));
    out << line.data() << "  places without a block\n";
}

}  // namespace tesselbox::cli
