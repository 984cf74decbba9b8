// The block files Tesselbox writes, behind one entry point and one NBT writer: the MCEdit
// .schematic (plain, or gzip for WorldEdit), the Sponge .schem (version 2 or 3), the Litematica
// .litematic, and the structure files the games load by themselves: Java's .nbt and Bedrock's
// .mcstructure. On the floor the art lies in the layer y = 0, x along the picture's columns from
// the left, z along its rows from the top; as a wall it stands in the plane z = 0, y up from the
// bottom row, so it reads right way round from the south. Transparent cells are air in the mod
// formats; the structure files leave them out, so the world there stays as it is.
#pragma once

#include "formats/ByteSink.h"
#include "formats/SchematicWriter.h"
#include "palette/BedrockBlockStates.h"
#include "palette/BlockStates.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace tesselbox {

enum class BlockFileFormat { Schematic, Schem, Litematic, Nbt, McStructure };
enum class Orientation { Floor, Wall };

// ".schem", ".litematic", ".nbt" and ".mcstructure" (any case) pick their format; any other name
// is a .schematic.
BlockFileFormat FormatFromExtension(const std::filesystem::path& path);
// "schematic", "schem", "litematic", "nbt" or "mcstructure"; nothing for another word.
std::optional<BlockFileFormat> FormatFromName(std::string_view name);
std::string_view FormatExtension(BlockFileFormat format);  // ".schem"

using BlockFileSource = SchematicSource;

struct BlockFileOptions {
    BlockFileFormat format = BlockFileFormat::Schematic;
    bool gzip = false;                        // .schematic only; the others are always gzip
    const GameVersion* gameVersion = nullptr;  // nullptr: the newest
    const BedrockVersion* bedrockVersion = nullptr;  // .mcstructure; nullptr: the newest
    Orientation orientation = Orientation::Floor;
    int schemVersion = 2;                     // 2 or 3
    std::string name;                         // the .litematic's name; empty: "Tesselbox"
    std::int64_t timeMillis = -1;             // creation time, ms since 1970; -1: now
};

// Empty: a side of 0, which only the .schematic can hold (its readers take it; the others' do not).
// NoNumericId: a .schematic asked of a table that names a block, which it has no id for.
// UnknownBlock: a block the table names is not one the game version has.
enum class BlockFileStatus { Ok, TooLarge, Empty, NoBlockName, BadOption, OpenFailed, WriteFailed, NoNumericId, UnknownBlock };

struct BlockFileOutcome {
    BlockFileStatus status = BlockFileStatus::Ok;
    std::string message;  // English; names the path, or the value and its limit; empty when Ok
    bool ok() const { return status == BlockFileStatus::Ok; }
};

// The size of the file's block box, x by y by z.
struct BlockBox {
    std::uint32_t x = 0, y = 0, z = 0;
};
BlockBox FileBox(const BlockFileSource& source, Orientation orientation);

// Checks sizes, options and block names, then writes the file safely: an existing file is replaced
// only by complete new content, and nothing is written when a check fails.
BlockFileOutcome WriteBlockFile(const std::filesystem::path& path, const BlockFileSource& source,
                                const BlockFileOptions& options);

// The checks alone, for a caller about to write several files.
BlockFileOutcome CheckBlockFile(const BlockFileSource& source, const BlockFileOptions& options);

// The same content into a sink (gzip or not is the sink's business, so tests can read the NBT).
// Does not Finish the sink. On a failed check nothing is written.
BlockFileOutcome WriteBlockNbt(ByteSink& sink, const BlockFileSource& source, const BlockFileOptions& options);

// The square ARGB preview a .litematic carries (side at most PREVIEW_SIDE), top row first.
inline constexpr std::uint32_t PREVIEW_SIDE = 140;
std::vector<std::int32_t> LitematicPreview(const BlockFileSource& source, std::uint32_t& side);

}  // namespace tesselbox
