// The MCEdit-style schematic: an uncompressed, big-endian NBT stream of 124 + 2N bytes. It is
// written through formats/BlockFile.h like every other format; this header names what it reads.
#pragma once

#include "palette/BlockGrid.h"
#include "palette/ColorTable.h"

#include <cstdint>
#include <cstdio>

namespace tesselbox {

// What the writers read: the block grid keeps the bottom picture row first (surface order).
struct SchematicSource {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    const std::int32_t* blockGrid = nullptr;  // width × height entries; unread when either is 0
    const ColorTable* table = nullptr;
    // When set, the file holds these blocks instead, and the grid is only the art seen from above
    // (the .litematic's preview). A .schematic cannot hold them.
    const BlockVolume* volume = nullptr;
};

std::uint64_t SchematicFileSize(std::uint32_t width, std::uint32_t height);

// Streams the plain file into an open stream; false when a write failed or a side is above
// MAX_PICTURE_SIDE (then nothing is written).
bool WriteSchematicStream(std::FILE* stream, const SchematicSource& source);

}  // namespace tesselbox
