// The map item itself, data/map_N.dat in a world: a gzip NBT file holding the 128 × 128 colors a
// map shows, for server owners who place a finished map instead of building its blocks.
#pragma once

#include "formats/ByteSink.h"
#include "palette/BlockStates.h"
#include "palette/MapArtBlocks.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>

namespace tesselbox {

struct MapItem {
    // Map color ids (base * 4 + shade), row by row from the north-west, x fastest; 0 draws nothing.
    std::array<std::uint8_t, std::size_t{MAP_ART_SIDE} * MAP_ART_SIDE> colors{};
    std::int32_t xCenter = 0;  // the map area's centre: a multiple of 128 at scale 0
    std::int32_t zCenter = 0;
};

// The NBT content (uncompressed) for one game version; false when the sink failed.
bool WriteMapItemNbt(ByteSink& sink, const MapItem& map, const GameVersion& version);
// The gzip file, replaced only by complete new content; the message names the path on failure.
std::string WriteMapItemFile(const std::filesystem::path& path, const MapItem& map, const GameVersion& version);

}  // namespace tesselbox
