// The block files Tesselbox writes, behind one entry point: the MCEdit .schematic (plain, or gzip
// for WorldEdit), the Sponge .schem (version 2 or 3) and the Litematica .litematic. Every format
// lays the art in the layer y = 0, x along the picture's columns from the left, z along its rows
// from the top; transparent cells are air.
#pragma once

#include "formats/ByteSink.h"
#include "formats/SchematicWriter.h"
#include "palette/BlockStates.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace tesselbox {

enum class BlockFileFormat { Schematic, Schem, Litematic };

// ".schem" and ".litematic" (any case) pick their format; any other name is a .schematic.
BlockFileFormat FormatFromExtension(const std::filesystem::path& path);
// "schematic", "schem" or "litematic"; nothing for another word.
std::optional<BlockFileFormat> FormatFromName(std::string_view name);
std::string_view FormatExtension(BlockFileFormat format);  // ".schem"

using BlockFileSource = SchematicSource;

struct BlockFileOptions {
    BlockFileFormat format = BlockFileFormat::Schematic;
    bool gzip = false;                        // .schematic only; the others are always gzip
    const GameVersion* gameVersion = nullptr;  // nullptr: the newest
    int schemVersion = 2;                     // 2 or 3
    std::string name;                         // the .litematic's name; empty: "Tesselbox"
    std::int64_t timeMillis = -1;             // creation time, ms since 1970; -1: now
};

// Empty: a side of 0, which only the .schematic can hold (its readers take it; the others' do not).
enum class BlockFileStatus { Ok, TooLarge, Empty, NoBlockName, BadOption, OpenFailed, WriteFailed };

struct BlockFileOutcome {
    BlockFileStatus status = BlockFileStatus::Ok;
    std::string message;  // English; names the path, or the value and its limit; empty when Ok
    bool ok() const { return status == BlockFileStatus::Ok; }
};

// Checks sizes, options and block names, then writes the file safely: an existing file is replaced
// only by complete new content, and nothing is written when a check fails. The plain .schematic is
// WriteSchematicFile's bytes.
BlockFileOutcome WriteBlockFile(const std::filesystem::path& path, const BlockFileSource& source,
                                const BlockFileOptions& options);

// The same content into a sink (gzip or not is the sink's business, so tests can read the NBT).
// Does not Finish the sink. On a failed check nothing is written.
BlockFileOutcome WriteBlockNbt(ByteSink& sink, const BlockFileSource& source, const BlockFileOptions& options);

// The square ARGB preview a .litematic carries (side at most PREVIEW_SIDE), top row first.
inline constexpr std::uint32_t PREVIEW_SIDE = 140;
std::vector<std::int32_t> LitematicPreview(const BlockFileSource& source, std::uint32_t& side);

}  // namespace tesselbox
