#include "blocks/ModernBlocks.h"

#include <algorithm>
#include <iterator>
#include <vector>

namespace tesselbox::blocks {
namespace {

#include "blocks/ModernBlocks.inc"

constexpr FlagName FLAG_NAMES[] = {
    {"falls", FALLS},          {"needs-support", NEEDS_SUPPORT}, {"changes", CHANGES},
    {"light", LIGHT},          {"creative-only", CREATIVE_ONLY}, {"busy", BUSY},
};

constexpr bool SortedByName() {
    for (std::size_t i = 1; i < std::size(MODERN_BLOCKS); ++i) {
        if (!(MODERN_BLOCKS[i - 1].name < MODERN_BLOCKS[i].name)) return false;
    }
    return true;
}
static_assert(SortedByName(), "FindModernBlock searches by name");

}  // namespace

std::span<const FlagName> BlockFlagNames() { return FLAG_NAMES; }

std::span<const ModernBlock> ModernBlocks() { return MODERN_BLOCKS; }

const ModernBlock* FindModernBlock(std::string_view name) {
    constexpr std::string_view NAMESPACE = "minecraft:";
    if (!name.starts_with(NAMESPACE)) {
        if (name.find(':') != std::string_view::npos) return nullptr;
        for (const ModernBlock& block : MODERN_BLOCKS) {
            if (block.name.substr(NAMESPACE.size()) == name) return &block;
        }
        return nullptr;
    }
    const auto* at = std::lower_bound(std::begin(MODERN_BLOCKS), std::end(MODERN_BLOCKS), name,
                                      [](const ModernBlock& b, std::string_view n) { return b.name < n; });
    return at != std::end(MODERN_BLOCKS) && at->name == name ? at : nullptr;
}

std::span<const std::string_view> ModernBlockFamilies() {
    static const std::vector<std::string_view> families = [] {
        std::vector<std::string_view> list;
        for (const ModernBlock& block : MODERN_BLOCKS) {
            if (std::find(list.begin(), list.end(), block.family) == list.end()) list.push_back(block.family);
        }
        return list;
    }();
    return families;
}

std::string_view ModernTableVersion() { return MEASURED_IN; }

}  // namespace tesselbox::blocks
