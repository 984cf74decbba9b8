#include "app/MaterialList.h"

#include "app/Texts.h"
#include "fileio/ReplaceFile.h"
#include "formats/MapFiles.h"
#include "palette/BlockStates.h"

#include <cstdio>
#include <string>

namespace tesselbox {
namespace {

std::string SummaryOf(std::uint64_t blocks, std::size_t kinds, std::uint64_t emptyCells) {
    return texts::TOTAL_BEFORE + std::to_string(blocks) + texts::TOTAL_KINDS + std::to_string(kinds) + texts::TOTAL_EMPTY +
           std::to_string(emptyCells) + texts::TOTAL_AFTER;
}

void SaveCsv(AppState& state, const std::string& csv) {
    state.fileDialog.filterIndex = 1;  // its one filter, whatever the last dialog ended on
    const auto path = state.services.ChooseSaveFile(state.fileDialog, texts::CSV_FILTERS, texts::CSV_EXTENSION);
    if (!path) return;
    const WriteOutcome written = ReplaceFile(*path, [&](std::FILE* file) {
        return std::fwrite(csv.data(), 1, csv.size(), file) == csv.size();
    });
    if (!written.ok()) {
        state.services.ShowMessage(written.status == WriteStatus::OpenFailed ? texts::OPEN_FILE_FAILED
                                                                             : texts::WRITE_FILE_FAILED,
                                   platform::MessageKind::Error);
    }
}

}  // namespace

platform::MaterialsList MaterialListOf(const BillOfMaterials& bill) {
    platform::MaterialsList list;
    list.headings.assign(texts::MATERIALS_HEADINGS.begin(), texts::MATERIALS_HEADINGS.end());
    for (const MaterialCount& material : bill.materials) {
        const Stacks s = InStacks(material.count);
        const std::string block = material.blockState.empty() ? std::to_string(material.blockId) + ":" +
                                                                    std::to_string(material.blockData)
                                                              : material.blockState;
        list.rows.push_back({block, material.name, std::to_string(material.count), std::to_string(s.stacks),
                             std::to_string(s.leftOver), s.boxes > 0 ? std::to_string(s.boxes) : "",
                             s.boxes > 0 ? std::to_string(s.stacksBesideBoxes) : ""});
    }
    list.summary = SummaryOf(bill.blocks, bill.materials.size(), bill.emptyCells);
    return list;
}

platform::MaterialsList MapMaterialListOf(const BillOfMaterials& art, const BillOfMaterials& support) {
    platform::MaterialsList list = MaterialListOf(art);
    if (support.blocks > 0) {
        std::vector<std::string> heading(list.headings.size());
        heading[0] = texts::SUPPORT_BLOCKS;
        list.rows.push_back(std::move(heading));
        for (auto& row : MaterialListOf(support).rows) list.rows.push_back(std::move(row));
    }
    list.summary = SummaryOf(art.blocks + support.blocks, art.materials.size() + support.materials.size(), art.emptyCells);
    return list;
}

void ShowMaterialList(AppState& state) {
    if (const MapPicture* map = state.mapPicture.get()) {
        const MapMaterials bills = CountMapMaterials(map->art, map->palette);
        const std::vector<std::string> names = TableBlockNames(map->palette.fileTable, NewestGameVersion());
        std::string csv = MaterialsCsv(bills.art, names);
        if (bills.support.blocks > 0) {
            const std::string support = MaterialsCsv(bills.support, names);
            csv.append(texts::SUPPORT_BLOCKS).append("\n").append(support.substr(support.find('\n') + 1));
        }
        state.services.ShowMaterials(MapMaterialListOf(bills.art, bills.support), [&] { SaveCsv(state, csv); });
        return;
    }
    const BillOfMaterials bill = CountMaterials(state.picture.grid, TableInUse(state));
    const std::string csv = MaterialsCsv(bill, TableBlockNames(TableInUse(state), NewestGameVersion()));
    state.services.ShowMaterials(MaterialListOf(bill), [&] { SaveCsv(state, csv); });
}

}  // namespace tesselbox
