// Choosing blocks: the shipped modern table as a color table, and leaving out or keeping only the
// blocks that words name (block names, families, flags), for any table.
#pragma once

#include "blocks/ModernBlocks.h"
#include "palette/BlockStates.h"
#include "palette/ColorTable.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace tesselbox {

enum class BlockFace { Top, Side };

// Fills an empty table with the modern blocks in name order, each with the color of the face
// asked for; a version leaves out the blocks it lacks. Returns how many were left out so.
std::size_t MakeModernTable(ColorTable& table, BlockFace face = BlockFace::Top, const GameVersion* version = nullptr);

// The block an entry places, without properties and namespace ("oak_log"; a numbered entry's 1.13
// name); empty for an id:data that has none.
std::string BlockNameOf(const ColorTable& table, std::size_t i);

// "wool,concrete" -> {"wool", "concrete"}; blanks around words dropped, empty words too.
std::vector<std::string> SplitWords(std::string_view list);

// Why a word names no family, flag or block of the catalogue or the table, with the close names
// ("no block, family or flag is called \"fals\"; close: falls"); empty when it names one.
std::string CheckChoiceWord(std::string_view word, const ColorTable& table);

// The catalogue's facts about the block of entry i (a numbered entry's by its 1.13 name), null
// for a block the catalogue does not hold.
const blocks::ModernBlock* CatalogueBlock(const ColorTable& table, std::size_t i);

// Keeps the entries whose keep[i] is true, in their order.
void KeepEntries(ColorTable& table, const std::vector<bool>& keep);

// Keeps the entries that match a word of `only` (all when it is empty) and none of `exclude`,
// in their order. An entry matches a block name by its own name (a numbered entry by its 1.13
// name), and a family or flag by the catalogue's facts about that block.
void ChooseBlocks(ColorTable& table, const std::vector<std::string>& only, const std::vector<std::string>& exclude);

}  // namespace tesselbox
