#include "palette/BlockStates.h"

#include "blocks/BlockLists.h"

#include <algorithm>
#include <array>

namespace tesselbox {
namespace {

// DataVersions from minecraft-data's protocolVersions.json (see tests/data/game-versions, whose
// versions.txt the tests compare with). Litematica moved to schematic Version 7 with 1.20.5.
constexpr std::int32_t LITEMATICA_7_SINCE = 3837;  // 1.20.5
constexpr GameVersion MakeVersion(std::string_view name, std::int32_t dataVersion) {
    return {name, dataVersion, dataVersion >= LITEMATICA_7_SINCE ? 7 : 6};
}
constexpr std::array GAME_VERSIONS = {
    MakeVersion("1.13.2", 1631),  MakeVersion("1.14.4", 1976), MakeVersion("1.16.5", 2586),
    MakeVersion("1.17.1", 2730),  MakeVersion("1.18.2", 2975), MakeVersion("1.19.4", 3337),
    MakeVersion("1.20.1", 3465),  MakeVersion("1.20.4", 3700), MakeVersion("1.20.6", 3839),
    MakeVersion("1.21.1", 3955),  MakeVersion("1.21.4", 4189), MakeVersion("1.21.11", 4671),
    MakeVersion("26.1", 4786),
};

struct LegacyEntry {
    std::uint8_t id;
    std::uint8_t data;
    std::string_view state;
};
constexpr LegacyEntry LEGACY_STATES[] = {
#include "palette/LegacyBlockStates.inc"
};

// The game's own renames since 1.13 that reach a legacy block.
constexpr std::int32_t SINCE_1_14 = 1952;    // signs by wood, stone_slab is a new block
constexpr std::int32_t SINCE_1_16 = 2566;    // wall sides none/low/tall
constexpr std::int32_t SINCE_1_17 = 2724;    // dirt_path, water_cauldron
constexpr std::int32_t SINCE_1_20_3 = 3698;  // short_grass

struct NameChange {
    std::int32_t since;
    std::string_view from;
    std::string_view to;
};
constexpr NameChange NAME_CHANGES[] = {
    {SINCE_1_14, "minecraft:sign", "minecraft:oak_sign"},
    {SINCE_1_14, "minecraft:wall_sign", "minecraft:oak_wall_sign"},
    {SINCE_1_14, "minecraft:stone_slab", "minecraft:smooth_stone_slab"},
    {SINCE_1_17, "minecraft:grass_path", "minecraft:dirt_path"},
    {SINCE_1_20_3, "minecraft:grass", "minecraft:short_grass"},
};

void ApplyRenames(BlockState& state, std::int32_t dataVersion) {
    for (const NameChange& change : NAME_CHANGES) {
        if (dataVersion >= change.since && state.name == change.from) state.name = change.to;
    }
    if (dataVersion >= SINCE_1_16 &&
        (state.name == "minecraft:cobblestone_wall" || state.name == "minecraft:mossy_cobblestone_wall")) {
        for (auto& [key, value] : state.properties) {
            if (key == "up") continue;
            if (value == "false") value = "none";
            if (value == "true") value = "low";
        }
    }
    if (dataVersion >= SINCE_1_17 && state.name == "minecraft:cauldron") {
        // A filled cauldron became its own block; the empty one lost its level.
        const auto level = std::find_if(state.properties.begin(), state.properties.end(),
                                        [](const auto& p) { return p.first == "level"; });
        if (level != state.properties.end()) {
            if (level->second != "0") state.name = "minecraft:water_cauldron";
            else state.properties.erase(level);
        }
    }
}

}  // namespace

std::span<const GameVersion> SupportedGameVersions() { return GAME_VERSIONS; }

std::uint32_t BuildHeight(const GameVersion& version) { return version.dataVersion >= 2860 ? 384 : 256; }

const GameVersion& NewestGameVersion() { return GAME_VERSIONS.back(); }

const GameVersion* FindGameVersion(std::string_view name) {
    for (const GameVersion& version : GAME_VERSIONS) {
        if (version.name == name) return &version;
    }
    return nullptr;
}

std::string SupportedGameVersionList() {
    std::string list;
    for (const GameVersion& version : GAME_VERSIONS) {
        if (!list.empty()) list += ", ";
        list += version.name;
    }
    return list;
}

std::string BlockState::ToString() const {
    std::string text = name;
    if (properties.empty()) return text;
    char separator = '[';
    for (const auto& [key, value] : properties) {
        text += separator;
        text += key;
        text += '=';
        text += value;
        separator = ',';
    }
    return text + ']';
}

BlockState ParseBlockState(std::string_view text) {
    BlockState state;
    const std::size_t open = text.find('[');
    state.name = std::string(text.substr(0, open));
    if (open == std::string_view::npos || text.back() != ']') return state;
    std::string_view rest = text.substr(open + 1, text.size() - open - 2);
    while (!rest.empty()) {
        const std::size_t comma = std::min(rest.find(','), rest.size());
        const std::string_view pair = rest.substr(0, comma);
        const std::size_t equals = std::min(pair.find('='), pair.size());
        state.properties.emplace_back(std::string(pair.substr(0, equals)),
                                      std::string(pair.substr(std::min(equals + 1, pair.size()))));
        rest.remove_prefix(std::min(comma + 1, rest.size()));
    }
    return state;
}

std::string_view LegacyBlockState(std::uint8_t id, std::uint8_t data) {
    const auto* end = std::end(LEGACY_STATES);
    const auto* found = std::lower_bound(
        std::begin(LEGACY_STATES), end, std::pair{id, data}, [](const LegacyEntry& e, const auto& key) {
            return std::pair{e.id, e.data} < key;
        });
    if (found == end || found->id != id || found->data != data) return {};
    return found->state;
}

bool BlockStateFor(std::uint8_t id, std::uint8_t data, const GameVersion& version, BlockState& out) {
    const std::string_view legacy = LegacyBlockState(id, data);
    if (legacy.empty()) return false;
    out = ParseBlockState(legacy);
    ApplyRenames(out, version.dataVersion);
    return true;
}

TableBlockStates ResolveTableBlockStates(const ColorTable& table, const GameVersion& version) {
    TableBlockStates result;
    result.states.resize(static_cast<std::size_t>(std::max(table.count, 0)));
    for (std::size_t i = 0; i < result.states.size(); ++i) {
        std::string why;
        if (!table.blockStates[i].empty()) {
            result.states[i] = ParseBlockState(table.blockStates[i]);
            why = blocks::CheckBlockState(version.name, result.states[i].name, result.states[i].properties);
            if (why.empty()) continue;
        } else {
            if (BlockStateFor(table.blockIds[i], table.blockData[i], version, result.states[i])) continue;
            why = "block " + std::to_string(table.blockIds[i]) + ":" + std::to_string(table.blockData[i]) +
                  " has no block name in Minecraft " + std::string(version.name) + "; only .schematic files can hold it";
        }
        std::string& message = result.message;
        message = TableEntryPlace(table, i);
        message += ": " + why;
        result.refusedEntry = static_cast<std::int32_t>(i);
        result.states.clear();
        return result;
    }
    return result;
}

std::vector<std::string> TableBlockNames(const ColorTable& table, const GameVersion& version) {
    std::vector<std::string> names;
    names.reserve(static_cast<std::size_t>(std::max(table.count, 0)));
    for (std::size_t i = 0; i < static_cast<std::size_t>(std::max(table.count, 0)); ++i) {
        BlockState state;
        if (!table.blockStates[i].empty()) {
            names.push_back(table.blockStates[i]);
        } else if (BlockStateFor(table.blockIds[i], table.blockData[i], version, state)) {
            names.push_back(state.ToString());
        } else {
            names.emplace_back("-");
        }
    }
    return names;
}

}  // namespace tesselbox
