// The modern block table shipped with the program: the full, opaque, untinted cubes of the newest
// game version the measurements cover, the mean color of their top and side faces, and the facts
// a builder chooses blocks by (family, the oldest game version that has it, flags).
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string_view>

namespace tesselbox::blocks {

enum BlockFlag : std::uint32_t {
    FALLS = 1u << 0,          // gravity: sand, gravel, concrete powder
    NEEDS_SUPPORT = 1u << 1,  // breaks without a block under it
    CHANGES = 1u << 2,        // by itself: copper oxidises, coral dies, powder sets, grass spreads
    LIGHT = 1u << 3,          // gives light
    CREATIVE_ONLY = 1u << 4,  // not obtainable in survival
    BUSY = 1u << 5,           // its face's pixels lie far from their mean: noise up close
};

struct FlagName {
    std::string_view name;  // "falls", "needs-support", ...
    BlockFlag flag;
};
std::span<const FlagName> BlockFlagNames();

struct ModernBlock {
    std::string_view name;          // "minecraft:cherry_planks", its default state
    std::string_view displayName;   // "Cherry Planks"
    std::string_view family;        // "planks"
    std::string_view firstVersion;  // the oldest of BlockListVersions() that has it
    std::array<std::uint8_t, 3> top;
    std::array<std::uint8_t, 3> side;
    std::uint16_t busyHundredths;  // mean CIEDE2000 of the top face's pixels from its mean, x 100
    std::uint32_t flags;           // BlockFlag bits
};

// Sorted by name.
std::span<const ModernBlock> ModernBlocks();
const ModernBlock* FindModernBlock(std::string_view name);  // "minecraft:stone" or "stone"
// The families, in the order of their first block.
std::span<const std::string_view> ModernBlockFamilies();
// The version the colors were measured in.
std::string_view ModernTableVersion();

}  // namespace tesselbox::blocks
