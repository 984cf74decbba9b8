#include "formats/Materials.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <map>
#include <utility>

namespace tesselbox {
namespace {

// Numbered blocks by id:data first, then named ones by name.
using Key = std::pair<std::string, std::uint32_t>;
Key KeyOf(std::uint8_t id, std::uint8_t data, const std::string& state) {
    return {state, state.empty() ? (std::uint32_t{id} << 8) | data : 0};
}
Key KeyOf(const MaterialCount& m) { return KeyOf(m.blockId, m.blockData, m.blockState); }

void SortMostUsedFirst(std::vector<MaterialCount>& materials) {
    std::sort(materials.begin(), materials.end(), [](const auto& a, const auto& b) {
        if (a.count != b.count) return a.count > b.count;
        return KeyOf(a) < KeyOf(b);
    });
}

constexpr std::uint64_t STACK = 64;
constexpr std::uint64_t BOX = 27;  // stacks in a shulker box

std::string BlockColumn(const MaterialCount& material) {
    if (!material.blockState.empty()) return material.blockState;
    return std::to_string(material.blockId) + ":" + std::to_string(material.blockData);
}

std::string Stacks(std::uint64_t count) {
    const std::uint64_t stacks = count / STACK;
    std::string text = std::to_string(stacks) + (stacks == 1 ? " stack" : " stacks") + " + " +
                       std::to_string(count % STACK);
    if (stacks >= BOX) {
        const std::uint64_t boxes = stacks / BOX;
        text += "; " + std::to_string(boxes) + (boxes == 1 ? " shulker box" : " shulker boxes") + " + " +
                std::to_string(stacks % BOX) + (stacks % BOX == 1 ? " stack" : " stacks") + " + " +
                std::to_string(count % STACK);
    }
    return text;
}

std::string CsvField(const std::string& text) {
    if (text.find_first_of(",\"\n\r") == std::string::npos) return text;
    std::string quoted = "\"";
    for (char c : text) quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
    return quoted + "\"";
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
    std::map<Key, MaterialCount> byBlock;  // entries in table order: the earliest names it
    for (std::size_t i = 0; i < perEntry.size(); ++i) {
        if (perEntry[i] == 0) continue;
        const std::uint8_t id = table.blockIds[i];
        const std::uint8_t data = table.blockData[i];
        const auto entry = static_cast<std::int32_t>(i);
        const std::string& state = table.blockStates[i];
        auto [at, added] =
            byBlock.try_emplace(KeyOf(id, data, state), MaterialCount{id, data, state, 0, entry, table.names[i]});
        at->second.count += perEntry[i];
        bill.blocks += perEntry[i];
    }
    for (auto& [key, material] : byBlock) bill.materials.push_back(std::move(material));
    SortMostUsedFirst(bill.materials);
    return bill;
}

BillOfMaterials AddMaterials(const BillOfMaterials& a, const BillOfMaterials& b) {
    std::map<Key, MaterialCount> byBlock;
    for (const auto* bill : {&a, &b}) {
        for (const MaterialCount& material : bill->materials) {
            auto [at, added] = byBlock.try_emplace(KeyOf(material), material);
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
    std::size_t blockWidth = 7;
    for (const MaterialCount& material : bill.materials) blockWidth = std::max(blockWidth, BlockColumn(material).size());
    for (const MaterialCount& material : bill.materials) {
        const std::string block = BlockColumn(material);
        std::snprintf(line.data(), line.size(), "%*llu  ", width, static_cast<unsigned long long>(material.count));
        std::string text = line.data() + block + std::string(blockWidth - block.size(), ' ');
        const auto entry = static_cast<std::size_t>(material.firstEntry);
        if (entry < blockNames.size() && blockNames[entry] != block) text += "  " + blockNames[entry];
        if (!material.name.empty()) text += "  " + material.name;
        if (material.count >= STACK) text += "  (" + Stacks(material.count) + ")";
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

std::string MaterialsCsv(const BillOfMaterials& bill, const std::vector<std::string>& blockNames) {
    std::string csv = "block,name in that version,name,count,stacks of 64,left over,shulker boxes,stacks besides the boxes\n";
    for (const MaterialCount& material : bill.materials) {
        const auto entry = static_cast<std::size_t>(material.firstEntry);
        const std::uint64_t stacks = material.count / STACK;
        csv += CsvField(BlockColumn(material)) + "," + (entry < blockNames.size() ? CsvField(blockNames[entry]) : "") +
               "," + CsvField(material.name) + "," + std::to_string(material.count) + "," + std::to_string(stacks) +
               "," + std::to_string(material.count % STACK) + "," + std::to_string(stacks / BOX) + "," +
               std::to_string(stacks % BOX) + "\n";
    }
    return csv;
}

}  // namespace tesselbox
