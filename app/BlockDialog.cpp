#include "app/BlockDialog.h"

#include "app/ConversionMenu.h"
#include "app/MapArtPicture.h"
#include "app/Texts.h"
#include "app/WindowLayout.h"
#include "blocks/ModernBlocks.h"
#include "fileio/ReplaceFile.h"
#include "palette/BlockChoice.h"
#include "palette/BlockStates.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <system_error>

namespace tesselbox {
namespace {

constexpr std::size_t WORKING_TABLE = 0;
constexpr std::size_t MODERN_TABLE = 1;
constexpr std::string_view OTHER = "other";

// The flag each quick choice leaves out, in the dialog's order.
constexpr std::array<std::uint32_t, 5> QUICK_FLAGS = {blocks::FALLS, blocks::NEEDS_SUPPORT, blocks::CHANGES,
                                                      blocks::BUSY, blocks::CREATIVE_ONLY};

// "White Wool  35:0", "Cherry Planks  minecraft:cherry_planks"; the block alone when unnamed.
std::string RowText(const ColorTable& table, std::size_t i) {
    const std::string block = table.blockStates[i].empty()
                                  ? std::to_string(table.blockIds[i]) + ":" + std::to_string(table.blockData[i])
                                  : table.blockStates[i];
    return table.names[i].empty() ? block : table.names[i] + "  " + block;
}

}  // namespace

BlockDialog::BlockDialog(AppState& state)
    : state_(state),
      tableChoices_{texts::TABLE_WORKING_FOLDER, texts::TABLE_MODERN},
      quickChoices_{{{texts::NO_FALLING_BLOCKS, false},
                     {texts::NO_SUPPORTED_BLOCKS, false},
                     {texts::NO_CHANGING_BLOCKS, false},
                     {texts::NO_BUSY_BLOCKS, false},
                     {texts::SURVIVAL_BLOCKS_ONLY, false}}} {
    for (std::size_t k = 0; k < quickChoices_.size(); ++k) {
        quickChoices_[k].on = (state.blocks.quickChoices >> k & 1u) != 0;
    }
    Show(state.blocks.table, state.blocks.leftOut);
}

void BlockDialog::Show(std::size_t table, const std::vector<bool>& leftOut) {
    table_ = table == MODERN_TABLE ? MODERN_TABLE : WORKING_TABLE;
    shown_ = std::make_unique<ColorTable>();
    if (table_ == MODERN_TABLE) {
        MakeModernTable(*shown_);
    } else {
        *shown_ = state_.colorTable;
    }
    const auto count = static_cast<std::size_t>(shown_->count);
    leftOut_ = leftOut;
    leftOut_.resize(count, false);
    flags_.assign(count, 0);

    // The catalogue's families in its order; a block it does not hold is "other".
    const auto families = blocks::ModernBlockFamilies();
    const auto familyIndex = [&](std::string_view family) {
        return static_cast<std::size_t>(std::find(families.begin(), families.end(), family) - families.begin());
    };
    std::vector<std::vector<std::size_t>> byFamily(families.size() + 1);
    for (std::size_t i = 0; i < count; ++i) {
        const blocks::ModernBlock* block = CatalogueBlock(*shown_, i);
        if (block != nullptr) flags_[i] = block->flags;
        byFamily[familyIndex(block != nullptr ? block->family : OTHER)].push_back(i);
    }
    groups_.clear();
    entries_.clear();
    for (std::size_t f = 0; f < byFamily.size(); ++f) {
        if (byFamily[f].empty()) continue;
        platform::BlockGroup group{f < families.size() ? std::string(families[f]) : std::string(OTHER), {}};
        for (const std::size_t i : byFamily[f]) group.rows.push_back({RowText(*shown_, i), false, true});
        groups_.push_back(std::move(group));
        entries_.push_back(std::move(byFamily[f]));
    }
    Refresh();
}

bool BlockDialog::QuickChoiceLeavesOut(std::size_t entry) const {
    for (std::size_t k = 0; k < QUICK_FLAGS.size(); ++k) {
        if (quickChoices_[k].on && (flags_[entry] & QUICK_FLAGS[k]) != 0) return true;
    }
    return false;
}

bool BlockDialog::Chosen(std::size_t entry) const { return !leftOut_[entry] && !QuickChoiceLeavesOut(entry); }

void BlockDialog::Refresh() {
    for (std::size_t g = 0; g < groups_.size(); ++g) {
        for (std::size_t r = 0; r < groups_[g].rows.size(); ++r) {
            const std::size_t entry = entries_[g][r];
            platform::BlockRow& row = groups_[g].rows[r];
            row.checked = Chosen(entry);
            row.enabled = !QuickChoiceLeavesOut(entry);  // only that quick choice can bring it back
        }
    }
}

void BlockDialog::ChooseTable(std::size_t index) {
    if (index != table_ && index < tableChoices_.size()) Show(index, {});
}

void BlockDialog::CheckBlock(std::size_t group, std::size_t row, bool checked) {
    if (group >= entries_.size() || row >= entries_[group].size()) return;
    const std::size_t entry = entries_[group][row];
    if (!groups_[group].rows[row].enabled) return;
    leftOut_[entry] = !checked;
    Refresh();
}

void BlockDialog::SetQuickChoice(std::size_t index, bool on) {
    if (index >= quickChoices_.size()) return;
    quickChoices_[index].on = on;
    Refresh();
}

std::size_t BlockDialog::ChosenCount() const {
    std::size_t chosen = 0;
    for (std::size_t i = 0; i < leftOut_.size(); ++i) chosen += Chosen(i) ? 1 : 0;
    return chosen;
}

std::string BlockDialog::CountText() const {
    return texts::CHOSEN_BEFORE + std::to_string(ChosenCount()) + " / " + std::to_string(leftOut_.size()) +
           texts::CHOSEN_AFTER;
}

std::unique_ptr<ColorTable> BlockDialog::ChosenTable() const {
    auto table = std::make_unique<ColorTable>(*shown_);
    std::vector<bool> keep(leftOut_.size());
    for (std::size_t i = 0; i < keep.size(); ++i) keep[i] = Chosen(i);
    KeepEntries(*table, keep);
    return table;
}

BlockSelection BlockDialog::Selection() const {
    BlockSelection selection{table_, leftOut_, 0};
    for (std::size_t k = 0; k < quickChoices_.size(); ++k) {
        if (quickChoices_[k].on) selection.quickChoices |= 1u << k;
    }
    return selection;
}

void BlockDialog::SaveAsColorTable() {
    platform::WindowServices& services = state_.services;
    state_.fileDialog.filterIndex = 1;  // its one filter, whatever the last dialog ended on
    const auto path = services.ChooseSaveFile(state_.fileDialog, texts::COLOR_TABLE_FILTERS,
                                              texts::COLOR_TABLE_EXTENSION);
    if (!path) return;
    // The table the window reads is also the file this dialog shows; the modern one has no file.
    std::error_code ignored;
    if (std::filesystem::equivalent(*path, state_.colorTablePath, ignored)) {
        services.ShowMessage(texts::OVERWRITE_COLOR_TABLE, platform::MessageKind::Error);
        return;
    }
    const std::string text = ColorTableText(*ChosenTable());
    const WriteOutcome written = ReplaceFile(*path, [&](std::FILE* file) {
        return std::fwrite(text.data(), 1, text.size(), file) == text.size();
    });
    if (!written.ok()) {
        services.ShowMessage(written.status == WriteStatus::OpenFailed ? texts::OPEN_FILE_FAILED
                                                                       : texts::WRITE_FILE_FAILED,
                             platform::MessageKind::Error);
    }
}

void RunBlockDialog(AppState& state) {
    BlockDialog dialog(state);
    if (!state.services.RunBlockDialog(dialog)) return;
    std::unique_ptr<ColorTable> chosen = dialog.ChosenTable();
    // Blocks that give a map no color are refused while map art is on, before anything changes.
    std::unique_ptr<MapPicture> map;
    if (!MakeMapPicture(state, state.picturePath, *chosen, state.choice, state.map, map)) return;
    if (state.picture.source.HasPixels() && !ConvertCurrentAgain(state, *chosen, state.choice)) return;
    state.chosenTable = std::move(chosen);
    state.blocks = dialog.Selection();
    if (map) {
        state.mapPicture = std::move(map);
        state.services.InvalidatePanel(layout::IDC_PREVIEW_PANEL);
    }
}

}  // namespace tesselbox
