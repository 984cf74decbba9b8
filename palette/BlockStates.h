// Block names for the modern file formats: the game versions Tesselbox writes for, and the block
// state each legacy id:data has in one of them.
#pragma once

#include "palette/ColorTable.h"

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tesselbox {

struct GameVersion {
    std::string_view name;           // "1.21.4"
    std::int32_t dataVersion = 0;    // what the game stamps on its saves
    std::int32_t litematicaVersion;  // the newest .litematic Version that game's Litematica reads
};

// Oldest first; the last one is the default.
std::span<const GameVersion> SupportedGameVersions();
const GameVersion& NewestGameVersion();
const GameVersion* FindGameVersion(std::string_view name);  // nullptr when not supported
std::string SupportedGameVersionList();                     // "1.13.2, 1.14.4, ..."
// How many blocks tall a build may stand: 384 from Java 1.18 (DataVersion 2860) on, 256 before.
std::uint32_t BuildHeight(const GameVersion& version);
// Bedrock's: 384 in every Bedrock version written (it came with Bedrock 1.18).
inline constexpr std::uint32_t BEDROCK_BUILD_HEIGHT = 384;

struct BlockState {
    std::string name;                                             // "minecraft:oak_log"
    std::vector<std::pair<std::string, std::string>> properties;  // in the order written
    std::string ToString() const;  // "minecraft:oak_log[axis=y]"; the name alone without properties
    bool operator==(const BlockState&) const = default;
};

// Parses "name" or "name[key=value,...]"; no validation beyond the brackets.
BlockState ParseBlockState(std::string_view text);

// The 1.13 state of a legacy block id and data value; empty when it has none.
std::string_view LegacyBlockState(std::uint8_t id, std::uint8_t data);

// The state the game version calls a legacy block by; false when the id:data has no state.
bool BlockStateFor(std::uint8_t id, std::uint8_t data, const GameVersion& version, BlockState& out);

// Every color table entry's state for one version, indexed like the table.
struct TableBlockStates {
    std::vector<BlockState> states;
    std::string message;  // English; names the entry, its line and id:data when one has no state
    std::int32_t refusedEntry = -1;  // the entry the message is about
    bool ok() const { return message.empty(); }
};
TableBlockStates ResolveTableBlockStates(const ColorTable& table, const GameVersion& version);

// Every entry's block as that version names it, for material lists: a named entry as written, a
// legacy one by its state, "-" where the version has none. Indexed like the table.
std::vector<std::string> TableBlockNames(const ColorTable& table, const GameVersion& version);

}  // namespace tesselbox
