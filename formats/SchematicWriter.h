// The MCEdit-style schematic: an uncompressed, big-endian NBT stream of 124 + 2N bytes.
#pragma once

#include "palette/BlockGrid.h"
#include "palette/ColorTable.h"

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>

namespace tesselbox {

std::uint32_t SwapBytes16(std::uint32_t value);
std::uint32_t SwapBytes32(std::uint32_t value);

// What the writer reads: the block grid keeps the bottom picture row first (surface order).
struct SchematicSource {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    const std::int32_t* blockGrid = nullptr;  // width × height entries; unread when either is 0
    const ColorTable* table = nullptr;
};

std::uint64_t SchematicFileSize(std::uint32_t width, std::uint32_t height);

// Streams the file into an open stream; false when a write failed or a side is above
// MAX_PICTURE_SIDE (then nothing is written).
bool WriteSchematicStream(std::FILE* stream, const SchematicSource& source);

enum class SchematicStatus { Ok, TooLarge, OpenFailed, WriteFailed };

struct SchematicOutcome {
    SchematicStatus status = SchematicStatus::Ok;
    std::string message;  // English, names the path or the size and the limit; empty when Ok
    bool ok() const { return status == SchematicStatus::Ok; }
};

// Writes the file safely: an existing file is replaced only by complete new content.
SchematicOutcome WriteSchematicFile(const std::filesystem::path& path, const SchematicSource& source);

}  // namespace tesselbox
