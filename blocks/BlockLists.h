// Every block of each game version Tesselbox writes for, with its properties and their values, so
// that a block state a user names can be checked before anything is written.
#pragma once

#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tesselbox::blocks {

// The versions the lists cover, oldest first ("1.13.2", ..., "26.1").
std::span<const std::string_view> BlockListVersions();

// Whether the version has a block of that name ("minecraft:stone" or "stone").
bool VersionHasBlock(std::string_view version, std::string_view name);

// Why the state is not one the version has, in English ("minecraft:oak_log has no property
// colour; it has axis"); empty when it is. Properties left out take the game's defaults.
std::string CheckBlockState(std::string_view version, std::string_view name,
                            const std::vector<std::pair<std::string, std::string>>& properties);

}  // namespace tesselbox::blocks
