// The colors a Java Edition map draws: the game's base colors, the four shades of each, and the
// blocks that give each base color, so that map art can be planned from blocks the game accepts.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string_view>

namespace tesselbox::blocks {

// The shade a map draws, by shade number (the low two bits of a map color id = base * 4 + shade).
// The game draws 0..2 from the height step to the north; 3 only reaches a map written directly.
inline constexpr std::array<std::uint8_t, 4> MAP_SHADE_MULTIPLIERS = {180, 220, 255, 135};

struct MapBaseColor {
    std::uint8_t id;                   // 0..61; 0 draws nothing
    std::string_view name;             // the game's name, "GRASS"
    std::array<std::uint8_t, 3> rgb;   // the 255 shade
    std::string_view firstVersion;     // the oldest of BlockListVersions() that has it
};

// By id, 0 first.
std::span<const MapBaseColor> MapBaseColors();

// base rgb * MAP_SHADE_MULTIPLIERS[shade] / 255, truncated; {0,0,0} for base 0 and for a base or
// shade out of range.
std::array<std::uint8_t, 3> MapShadeColor(std::uint8_t base, std::uint8_t shade);

struct MapColorBlock {
    std::string_view name;          // "minecraft:white_wool": a default state the game accepts
    std::uint8_t base;              // its map base color
    std::uint32_t flags;            // BlockFlag bits
    std::string_view firstVersion;  // the oldest of BlockListVersions() that has it
    bool isDefault;                 // the default block of its base color
    // The state to place where the default one would not stay ("minecraft:oak_leaves[persistent=true]");
    // empty: the default.
    std::string_view placedState;
    std::string_view Placed() const { return placedState.empty() ? name : placedState; }
};

// Sorted by name.
std::span<const MapColorBlock> MapColorBlocks();
const MapColorBlock* FindMapColorBlock(std::string_view name);  // "minecraft:stone" or "stone"

// The default block of a base color (1..61): exists in every version that has the base color;
// nullptr for 0 and past 61.
const MapColorBlock* DefaultMapBlock(std::uint8_t base);

}  // namespace tesselbox::blocks
