#include "blocks/MapColors.h"

#include "blocks/ModernBlocks.h"

#include <algorithm>
#include <iterator>

namespace tesselbox::blocks {
namespace {

#include "blocks/MapColors.inc"

constexpr std::string_view NAMESPACE = "minecraft:";

constexpr bool BaseColorsById() {
    for (std::size_t i = 0; i < std::size(MAP_BASE_COLORS); ++i) {
        if (MAP_BASE_COLORS[i].id != i) return false;
    }
    return true;
}
static_assert(BaseColorsById(), "MapShadeColor indexes the base colors by id");

}  // namespace

std::span<const MapBaseColor> MapBaseColors() { return MAP_BASE_COLORS; }

std::array<std::uint8_t, 3> MapShadeColor(std::uint8_t base, std::uint8_t shade) {
    if (base == 0 || base >= std::size(MAP_BASE_COLORS) || shade >= MAP_SHADE_MULTIPLIERS.size()) return {0, 0, 0};
    const auto& rgb = MAP_BASE_COLORS[base].rgb;
    const unsigned multiplier = MAP_SHADE_MULTIPLIERS[shade];
    std::array<std::uint8_t, 3> shaded{};
    for (std::size_t i = 0; i < 3; ++i) shaded[i] = static_cast<std::uint8_t>(rgb[i] * multiplier / 255);
    return shaded;
}

std::span<const MapColorBlock> MapColorBlocks() { return MAP_COLOR_BLOCKS; }

const MapColorBlock* FindMapColorBlock(std::string_view name) {
    if (name.starts_with(NAMESPACE)) name.remove_prefix(NAMESPACE.size());
    else if (name.find(':') != std::string_view::npos) return nullptr;
    const auto bare = [](const MapColorBlock& block) { return block.name.substr(NAMESPACE.size()); };
    const auto* at = std::lower_bound(std::begin(MAP_COLOR_BLOCKS), std::end(MAP_COLOR_BLOCKS), name,
                                      [&](const MapColorBlock& b, std::string_view n) { return bare(b) < n; });
    return at != std::end(MAP_COLOR_BLOCKS) && bare(*at) == name ? &*at : nullptr;
}

const MapColorBlock* DefaultMapBlock(std::uint8_t base) {
    if (base == 0) return nullptr;
    for (const MapColorBlock& block : MAP_COLOR_BLOCKS) {
        if (block.base == base && block.isDefault) return &block;
    }
    return nullptr;
}

}  // namespace tesselbox::blocks
