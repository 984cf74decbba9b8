#include "app/MaterialList.h"

#include "app/Texts.h"
#include "fileio/ReplaceFile.h"
#include "palette/BlockStates.h"

#include <cstdio>
#include <string>

namespace tesselbox {
namespace {

void SaveCsv(AppState& state, const BillOfMaterials& bill) {
    state.fileDialog.filterIndex = 1;  // its one filter, whatever the last dialog ended on
    const auto path = state.services.ChooseSaveFile(state.fileDialog, texts::CSV_FILTERS, texts::CSV_EXTENSION);
    if (!path) return;
    const std::string csv = MaterialsCsv(bill, TableBlockNames(TableInUse(state), NewestGameVersion()));
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
    list.summary = texts::TOTAL_BEFORE + std::to_string(bill.blocks) + texts::TOTAL_KINDS +
                   std::to_string(bill.materials.size()) + texts::TOTAL_EMPTY + std::to_string(bill.emptyCells) +
                   texts::TOTAL_AFTER;
    return list;
}

void ShowMaterialList(AppState& state) {
    const BillOfMaterials bill = CountMaterials(state.picture.grid, TableInUse(state));
    state.services.ShowMaterials(MaterialListOf(bill), [&] { SaveCsv(state, bill); });
}

}  // namespace tesselbox
