// 方块…: the blocks dialog's state and what it does, toolkit-free; the platforms draw it. It shows
// a table (the color table read at start-up, or the shipped modern one) as check boxes grouped by
// family, with quick choices that leave out every block with a flag. OK makes the current picture
// again with the blocks chosen; Cancel changes nothing. Nothing of it outlives the program but a
// table saved with 另存为颜色表….
#pragma once

#include "app/AppState.h"
#include "platform/WindowServices.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace tesselbox {

class BlockDialog final : public platform::BlockDialogModel {
public:
    // Opens on what OK chose last, or on every block of the table read at start-up.
    explicit BlockDialog(AppState& state);

    std::span<const std::string> TableChoices() const override { return tableChoices_; }
    std::size_t TableChoice() const override { return table_; }
    void ChooseTable(std::size_t index) override;
    std::span<const platform::BlockGroup> Groups() const override { return groups_; }
    void CheckBlock(std::size_t group, std::size_t row, bool checked) override;
    std::span<const platform::QuickChoice> QuickChoices() const override { return quickChoices_; }
    void SetQuickChoice(std::size_t index, bool on) override;
    std::string CountText() const override;
    bool CanAccept() const override { return ChosenCount() > 0; }
    void SaveAsColorTable() override;

    std::size_t ChosenCount() const;
    // The chosen entries of the table shown, in its order, and what reopens the dialog on them.
    std::unique_ptr<ColorTable> ChosenTable() const;
    BlockSelection Selection() const;

private:
    void Show(std::size_t table, const std::vector<bool>& leftOut);
    bool QuickChoiceLeavesOut(std::size_t entry) const;
    bool Chosen(std::size_t entry) const;
    void Refresh();  // the rows' check marks from the entries'

    AppState& state_;
    std::vector<std::string> tableChoices_;
    std::size_t table_ = 0;
    std::unique_ptr<ColorTable> shown_;  // the whole of the table shown
    std::vector<bool> leftOut_;          // by entry: unchecked
    std::vector<std::uint32_t> flags_;   // by entry: the catalogue's flags, 0 for a block it lacks
    std::vector<platform::BlockGroup> groups_;
    std::vector<std::vector<std::size_t>> entries_;  // the entry each group's row shows
    std::array<platform::QuickChoice, 5> quickChoices_;
};

// The menu item: runs the dialog and, on OK, converts again with the blocks chosen.
void RunBlockDialog(AppState& state);

}  // namespace tesselbox
