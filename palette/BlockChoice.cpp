#include "palette/BlockChoice.h"

#include "blocks/BlockLists.h"
#include "blocks/MapColors.h"
#include "blocks/ModernBlocks.h"

#include <algorithm>
#include <memory>
#include <utility>

namespace tesselbox {
namespace {

constexpr std::string_view NAMESPACE = "minecraft:";

std::string_view WithoutNamespace(std::string_view name) {
    return name.starts_with(NAMESPACE) ? name.substr(NAMESPACE.size()) : name;
}

std::uint32_t FlagNamed(std::string_view word) {
    for (const blocks::FlagName& flag : blocks::BlockFlagNames()) {
        if (flag.name == word) return flag.flag;
    }
    return 0;
}

bool IsFamily(std::string_view word) {
    const auto families = blocks::ModernBlockFamilies();
    return std::find(families.begin(), families.end(), word) != families.end();
}

bool Matches(std::string_view word, std::string_view blockName) {
    if (WithoutNamespace(word) == blockName) return true;
    const std::uint32_t flag = FlagNamed(word);
    const blocks::ModernBlock* block = blocks::FindModernBlock(blockName);
    if (block == nullptr) {
        // Blocks beyond the full cubes (a carpet) are known by their map color's flags.
        const blocks::MapColorBlock* mapBlock = blocks::FindMapColorBlock(blockName);
        return mapBlock != nullptr && flag != 0 && (mapBlock->flags & flag) != 0;
    }
    if (block->family == word) return true;
    return flag != 0 && (block->flags & flag) != 0;
}

std::size_t EditDistance(std::string_view a, std::string_view b) {
    std::vector<std::size_t> row(b.size() + 1);
    for (std::size_t j = 0; j <= b.size(); ++j) row[j] = j;
    for (std::size_t i = 1; i <= a.size(); ++i) {
        std::size_t diagonal = row[0];
        row[0] = i;
        for (std::size_t j = 1; j <= b.size(); ++j) {
            const std::size_t above = row[j];
            row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
            diagonal = above;
        }
    }
    return row[b.size()];
}

}  // namespace

std::string BlockNameOf(const ColorTable& table, std::size_t i) {
    std::string_view state = table.blockStates[i];
    if (state.empty()) state = LegacyBlockState(table.blockIds[i], table.blockData[i]);
    state = state.substr(0, state.find('['));
    return std::string(WithoutNamespace(state));
}

std::size_t MakeModernTable(ColorTable& table, BlockFace face, const GameVersion* version) {
    std::size_t leftOut = 0;
    table.count = 0;
    for (const blocks::ModernBlock& block : blocks::ModernBlocks()) {
        if (version != nullptr && !blocks::VersionHasBlock(version->name, block.name)) {
            ++leftOut;
            continue;
        }
        if (table.count >= MAX_COLORS) break;
        const auto i = static_cast<std::size_t>(table.count++);
        const auto& rgb = face == BlockFace::Top ? block.top : block.side;
        table.colors[i] = MakePixel(rgb[0], rgb[1], rgb[2], 255);
        table.blockIds[i] = 0;
        table.blockData[i] = 0;
        table.names[i] = std::string(block.displayName);
        table.lines[i] = 0;
        table.blockStates[i] = std::string(block.name);
    }
    return leftOut;
}

std::vector<std::string> SplitWords(std::string_view list) {
    std::vector<std::string> words;
    while (!list.empty()) {
        const std::size_t comma = std::min(list.find(','), list.size());
        std::string_view word = list.substr(0, comma);
        while (!word.empty() && word.front() == ' ') word.remove_prefix(1);
        while (!word.empty() && word.back() == ' ') word.remove_suffix(1);
        if (!word.empty()) words.emplace_back(word);
        list.remove_prefix(std::min(comma + 1, list.size()));
    }
    return words;
}

std::string CheckChoiceWord(std::string_view word, const ColorTable& table) {
    if (IsFamily(word) || FlagNamed(word) != 0) return {};
    const std::string_view bare = WithoutNamespace(word);
    if (blocks::FindModernBlock(bare) != nullptr || blocks::FindMapColorBlock(bare) != nullptr) return {};
    std::vector<std::string> known;
    for (std::size_t i = 0; i < static_cast<std::size_t>(table.count); ++i) {
        std::string name = BlockNameOf(table, i);
        if (name == bare) return {};
        known.push_back(std::move(name));
    }
    for (const blocks::FlagName& flag : blocks::BlockFlagNames()) known.emplace_back(flag.name);
    for (std::string_view family : blocks::ModernBlockFamilies()) known.emplace_back(family);
    for (const blocks::ModernBlock& block : blocks::ModernBlocks()) known.emplace_back(WithoutNamespace(block.name));
    std::sort(known.begin(), known.end());
    known.erase(std::unique(known.begin(), known.end()), known.end());

    // Close: a few edits away, or holding the word (so "oak" finds the oak blocks).
    std::vector<std::pair<std::size_t, std::string>> close;
    for (std::string& name : known) {
        const std::size_t distance = EditDistance(bare, name);
        const bool fewEdits = distance <= std::max<std::size_t>(2, bare.size() / 4);
        if (fewEdits || (bare.size() >= 3 && name.find(bare) != std::string::npos)) {
            close.emplace_back(distance, std::move(name));
        }
    }
    std::stable_sort(close.begin(), close.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    std::string message = "no block, family or flag is called \"" + std::string(word) + "\"";
    if (close.empty()) {
        message += "; families: ";
        for (std::string_view family : blocks::ModernBlockFamilies()) {
            if (family != blocks::ModernBlockFamilies().front()) message += ", ";
            message += family;
        }
        message += "; flags:";
        for (const blocks::FlagName& flag : blocks::BlockFlagNames()) {
            message += ' ';
            message += flag.name;
        }
        return message;
    }
    message += "; close:";
    for (std::size_t k = 0; k < close.size() && k < 8; ++k) {
        message += k == 0 ? " " : ", ";
        message += close[k].second;
    }
    return message;
}

const blocks::ModernBlock* CatalogueBlock(const ColorTable& table, std::size_t i) {
    return blocks::FindModernBlock(BlockNameOf(table, i));
}

void KeepEntries(ColorTable& table, const std::vector<bool>& keep) {
    std::int32_t kept = 0;
    for (std::size_t i = 0; i < static_cast<std::size_t>(table.count); ++i) {
        if (i >= keep.size() || !keep[i]) continue;
        const auto to = static_cast<std::size_t>(kept++);
        if (to == i) continue;
        table.colors[to] = table.colors[i];
        table.blockIds[to] = table.blockIds[i];
        table.blockData[to] = table.blockData[i];
        table.names[to] = std::move(table.names[i]);
        table.lines[to] = table.lines[i];
        table.blockStates[to] = std::move(table.blockStates[i]);
    }
    table.count = kept;
}

void ChooseBlocks(ColorTable& table, const std::vector<std::string>& only, const std::vector<std::string>& exclude) {
    const auto matchesAny = [](const std::vector<std::string>& words, std::string_view name) {
        return std::any_of(words.begin(), words.end(), [&](const std::string& w) { return Matches(w, name); });
    };
    std::vector<bool> keep(static_cast<std::size_t>(table.count));
    for (std::size_t i = 0; i < keep.size(); ++i) {
        const std::string name = BlockNameOf(table, i);
        keep[i] = (only.empty() || matchesAny(only, name)) && !matchesAny(exclude, name);
    }
    KeepEntries(table, keep);
}

}  // namespace tesselbox
