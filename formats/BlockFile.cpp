#include "formats/BlockFile.h"

#include "fileio/ReplaceFile.h"
#include "formats/NbtWriter.h"

#include <algorithm>
#include <chrono>
#include <limits>
#include <map>
#include <vector>

namespace tesselbox {

BlockFileFormat FormatFromExtension(const std::filesystem::path& path) {
    std::string extension = path.extension().string();
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; });
    if (extension == ".schem") return BlockFileFormat::Schem;
    if (extension == ".litematic") return BlockFileFormat::Litematic;
    return BlockFileFormat::Schematic;
}

std::optional<BlockFileFormat> FormatFromName(std::string_view name) {
    if (name == "schematic") return BlockFileFormat::Schematic;
    if (name == "schem") return BlockFileFormat::Schem;
    if (name == "litematic") return BlockFileFormat::Litematic;
    return std::nullopt;
}

std::string_view FormatExtension(BlockFileFormat format) {
    switch (format) {
        case BlockFileFormat::Schem: return ".schem";
        case BlockFileFormat::Litematic: return ".litematic";
        case BlockFileFormat::Schematic: break;
    }
    return ".schematic";
}

namespace {

constexpr std::uint32_t MAX_SCHEM_SIDE = 65535;  // Width and Length are read as unsigned shorts
constexpr std::uint64_t MAX_NBT_ARRAY = std::numeric_limits<std::int32_t>::max();

// The blocks one picture uses, numbered for the file: air is 0, then each distinct state of the
// used table entries in table order (or, for a .schem, most used first).
struct BlockPalette {
    std::vector<BlockState> states;
    std::vector<std::int32_t> indexOfCell;  // [entry + 1]: the palette index; [0] is NO_BLOCK's
    std::uint64_t blockCells = 0;           // cells that are not air
    std::uint64_t twoByteCells = 0;         // cells whose varint takes two bytes
};

struct Prepared {
    const GameVersion* version = nullptr;
    BlockPalette palette;
    std::int64_t timeMillis = 0;
    std::string name;
};

// Where a grid cell's entry sits in the arrays that keep NO_BLOCK at 0.
std::size_t Slot(std::int32_t cell) { return static_cast<std::size_t>(std::int64_t{cell} + 1); }

BlockFileOutcome Refuse(BlockFileStatus status, std::string message) { return {status, std::move(message)}; }

std::string Size(const BlockFileSource& source) {
    return std::to_string(source.width) + " x " + std::to_string(source.height);
}

// Hands each row of the grid to row(), top picture row first (the grid keeps the bottom row first).
template <typename RowFunction>
void ForEachRowTopFirst(const BlockFileSource& source, RowFunction row) {
    for (std::uint32_t z = 0; z < source.height; ++z) {
        row(source.blockGrid + std::size_t{source.height - 1 - z} * source.width);
    }
}

// mostUsedFirst numbers the states by how many cells use them (ties in table order, air first),
// so that in a .schem as many cells as possible take one-byte varints.
BlockPalette MakePalette(const BlockFileSource& source, const std::vector<BlockState>& entryStates,
                         bool mostUsedFirst) {
    const std::size_t entries = entryStates.size();
    std::vector<std::uint64_t> counts(entries + 1, 0);  // [entry + 1]
    ForEachRowTopFirst(source, [&](const std::int32_t* cells) {
        for (std::uint32_t x = 0; x < source.width; ++x) ++counts[Slot(cells[x])];
    });
    BlockPalette palette;
    palette.states.push_back(BlockState{"minecraft:air", {}});
    palette.indexOfCell.assign(entries + 1, 0);
    std::vector<std::uint64_t> uses{counts[0]};  // per palette index
    std::map<std::string, std::int32_t> indexOf{{"minecraft:air", 0}};
    for (std::size_t entry = 0; entry < entries; ++entry) {
        if (counts[entry + 1] == 0) continue;
        const auto [at, added] =
            indexOf.emplace(entryStates[entry].ToString(), static_cast<std::int32_t>(palette.states.size()));
        if (added) {
            palette.states.push_back(entryStates[entry]);
            uses.push_back(0);
        }
        palette.indexOfCell[entry + 1] = at->second;
        uses[static_cast<std::size_t>(at->second)] += counts[entry + 1];
    }
    if (mostUsedFirst) {
        std::vector<std::int32_t> order(palette.states.size());
        for (std::size_t i = 0; i < order.size(); ++i) order[i] = static_cast<std::int32_t>(i);
        std::stable_sort(order.begin(), order.end(), [&](std::int32_t a, std::int32_t b) {
            return uses[static_cast<std::size_t>(a)] > uses[static_cast<std::size_t>(b)];
        });
        std::vector<std::int32_t> newIndex(order.size());
        std::vector<BlockState> states(order.size());
        std::vector<std::uint64_t> sortedUses(order.size());
        for (std::size_t i = 0; i < order.size(); ++i) {
            const auto old = static_cast<std::size_t>(order[i]);
            newIndex[old] = static_cast<std::int32_t>(i);
            states[i] = std::move(palette.states[old]);
            sortedUses[i] = uses[old];
        }
        for (std::int32_t& index : palette.indexOfCell) index = newIndex[static_cast<std::size_t>(index)];
        palette.states = std::move(states);
        uses = std::move(sortedUses);
    }
    for (std::size_t i = 0; i < uses.size(); ++i) {
        if (palette.states[i].name != "minecraft:air") palette.blockCells += uses[i];
        if (i >= 128) palette.twoByteCells += uses[i];
    }
    return palette;
}

BlockFileOutcome Check(const BlockFileSource& source, const BlockFileOptions& options, Prepared& prepared) {
    const std::uint64_t cells = std::uint64_t{source.width} * source.height;
    if (options.format == BlockFileFormat::Schematic) {
        if (source.width > MAX_PICTURE_SIDE || source.height > MAX_PICTURE_SIDE) {
            return Refuse(BlockFileStatus::TooLarge, "a schematic side may be at most " +
                                                         std::to_string(MAX_PICTURE_SIDE) +
                                                         " blocks; this picture is " + Size(source));
        }
        return {};
    }
    if (options.format == BlockFileFormat::Schem) {
        if (options.schemVersion != 2 && options.schemVersion != 3) {
            return Refuse(BlockFileStatus::BadOption, "a .schem is version 2 or 3, not " +
                                                          std::to_string(options.schemVersion));
        }
        if (source.width > MAX_SCHEM_SIDE || source.height > MAX_SCHEM_SIDE) {
            return Refuse(BlockFileStatus::TooLarge, "a .schem side may be at most " +
                                                         std::to_string(MAX_SCHEM_SIDE) +
                                                         " blocks; this picture is " + Size(source));
        }
    }
    if (source.width == 0 || source.height == 0) {
        return Refuse(BlockFileStatus::Empty, std::string("a ") + std::string(FormatExtension(options.format)) +
                                                  " needs at least one block each way; this picture is " +
                                                  Size(source));
    }
    if (cells > MAX_NBT_ARRAY) {
        return Refuse(BlockFileStatus::TooLarge, std::string("a ") + std::string(FormatExtension(options.format)) +
                                                     " holds at most " + std::to_string(MAX_NBT_ARRAY) +
                                                     " blocks; this picture is " + Size(source) + " = " +
                                                     std::to_string(cells));
    }
    prepared.version = options.gameVersion != nullptr ? options.gameVersion : &NewestGameVersion();
    TableBlockStates resolved = ResolveTableBlockStates(*source.table, *prepared.version);
    if (!resolved.ok()) return Refuse(BlockFileStatus::NoBlockName, resolved.message);
    prepared.palette = MakePalette(source, resolved.states, options.format == BlockFileFormat::Schem);
    if (options.format == BlockFileFormat::Schem && cells + prepared.palette.twoByteCells > MAX_NBT_ARRAY) {
        return Refuse(BlockFileStatus::TooLarge,
                      "a .schem holds at most " + std::to_string(MAX_NBT_ARRAY) + " bytes of blocks; this picture needs " +
                          std::to_string(cells + prepared.palette.twoByteCells));
    }
    prepared.timeMillis = options.timeMillis >= 0
                              ? options.timeMillis
                              : std::chrono::duration_cast<std::chrono::milliseconds>(
                                    std::chrono::system_clock::now().time_since_epoch())
                                    .count();
    prepared.name = options.name.empty() ? "Tesselbox" : options.name;
    return {};
}

// ---- .schematic through the NBT writer (for gzip; the plain file keeps its own writer) ----------

void EmitSchematic(NbtWriter& nbt, const BlockFileSource& source) {
    const std::uint32_t cells = source.width * source.height;
    nbt.BeginCompound("Schematic");
    nbt.Short("Height", 1);
    nbt.Short("Length", static_cast<std::uint16_t>(source.height));
    nbt.Short("Width", static_cast<std::uint16_t>(source.width));
    nbt.BeginList("Entities", NbtTag::Compound, 0);
    nbt.BeginList("TileEntities", NbtTag::Compound, 0);
    nbt.String("Materials", "Alpha");
    std::vector<std::uint8_t> row(source.width);
    for (const bool ids : {true, false}) {
        nbt.BeginByteArray(ids ? "Blocks" : "Data", static_cast<std::int32_t>(cells));
        const auto& values = ids ? source.table->blockIds : source.table->blockData;
        ForEachRowTopFirst(source, [&](const std::int32_t* rowCells) {
            for (std::uint32_t x = 0; x < source.width; ++x) {
                row[x] = rowCells[x] == NO_BLOCK ? 0 : values[static_cast<std::size_t>(rowCells[x])];
            }
            nbt.PutBytes(row.data(), row.size());
        });
    }
    nbt.EndCompound();
}

// ---- Sponge .schem ------------------------------------------------------------------------------

void EmitSchemBlocks(NbtWriter& nbt, const BlockFileSource& source, const BlockPalette& palette,
                     std::string_view paletteName, std::string_view dataName) {
    nbt.BeginCompound(paletteName);
    for (std::size_t i = 0; i < palette.states.size(); ++i) {
        nbt.Int(palette.states[i].ToString(), static_cast<std::int32_t>(i));
    }
    nbt.EndCompound();
    const std::uint64_t bytes = std::uint64_t{source.width} * source.height + palette.twoByteCells;
    nbt.BeginByteArray(dataName, static_cast<std::int32_t>(bytes));
    // Varints: seven bits a byte, low group first, the high bit set while more follow.
    std::vector<std::uint8_t> row(2 * std::size_t{source.width});
    ForEachRowTopFirst(source, [&](const std::int32_t* cells) {
        std::size_t used = 0;
        for (std::uint32_t x = 0; x < source.width; ++x) {
            const auto index = static_cast<std::uint32_t>(palette.indexOfCell[Slot(cells[x])]);
            if (index < 128) {
                row[used++] = static_cast<std::uint8_t>(index);
            } else {
                row[used++] = static_cast<std::uint8_t>(0x80u | (index & 0x7Fu));
                row[used++] = static_cast<std::uint8_t>(index >> 7);
            }
        }
        nbt.PutBytes(row.data(), used);
    });
    nbt.BeginList("BlockEntities", NbtTag::Compound, 0);
}

void EmitSchem(NbtWriter& nbt, const BlockFileSource& source, const Prepared& prepared, int version) {
    // FAWE's fast reader wants Version, DataVersion, Metadata, sizes, Offset, then the blocks.
    if (version == 3) nbt.BeginCompound("");
    nbt.BeginCompound("Schematic");
    nbt.Int("Version", version);
    nbt.Int("DataVersion", prepared.version->dataVersion);
    nbt.BeginCompound("Metadata");
    nbt.String("Name", prepared.name);
    nbt.Long("Date", prepared.timeMillis);
    nbt.EndCompound();
    nbt.Short("Width", static_cast<std::uint16_t>(source.width));
    nbt.Short("Height", 1);
    nbt.Short("Length", static_cast<std::uint16_t>(source.height));
    const std::int32_t offset[3] = {0, 0, 0};
    nbt.IntArray("Offset", offset);
    if (version == 3) {
        nbt.BeginCompound("Blocks");
        EmitSchemBlocks(nbt, source, prepared.palette, "Palette", "Data");
        nbt.EndCompound();
        nbt.EndCompound();
    } else {
        nbt.Int("PaletteMax", static_cast<std::int32_t>(prepared.palette.states.size()));
        EmitSchemBlocks(nbt, source, prepared.palette, "Palette", "BlockData");
    }
    nbt.EndCompound();
}

// ---- Litematica .litematic ----------------------------------------------------------------------

void XYZ(NbtWriter& nbt, std::string_view name, std::int32_t x, std::int32_t y, std::int32_t z) {
    nbt.BeginCompound(name);
    nbt.Int("x", x);
    nbt.Int("y", y);
    nbt.Int("z", z);
    nbt.EndCompound();
}

int BitsPerEntry(std::size_t paletteSize) {
    int bits = 2;
    while ((std::size_t{1} << bits) < paletteSize) ++bits;
    return bits;
}

void EmitLitematic(NbtWriter& nbt, const BlockFileSource& source, const Prepared& prepared) {
    const auto width = static_cast<std::int32_t>(source.width);
    const auto length = static_cast<std::int32_t>(source.height);
    const auto cells = static_cast<std::int32_t>(std::uint64_t{source.width} * source.height);
    nbt.BeginCompound("");
    nbt.Int("MinecraftDataVersion", prepared.version->dataVersion);
    nbt.Int("Version", prepared.version->litematicaVersion);
    nbt.Int("SubVersion", 1);
    nbt.BeginCompound("Metadata");
    nbt.String("Name", prepared.name);
    nbt.String("Author", "Tesselbox");
    nbt.String("Description", "");
    nbt.Int("RegionCount", 1);
    nbt.Int("TotalVolume", cells);
    nbt.Int("TotalBlocks", static_cast<std::int32_t>(prepared.palette.blockCells));
    nbt.Long("TimeCreated", prepared.timeMillis);
    nbt.Long("TimeModified", prepared.timeMillis);
    XYZ(nbt, "EnclosingSize", width, 1, length);
    std::uint32_t side = 0;
    const std::vector<std::int32_t> preview = LitematicPreview(source, side);
    if (!preview.empty()) nbt.IntArray("PreviewImageData", preview);
    nbt.EndCompound();

    nbt.BeginCompound("Regions");
    nbt.BeginCompound(prepared.name);
    XYZ(nbt, "Position", 0, 0, 0);
    XYZ(nbt, "Size", width, 1, length);
    const std::vector<BlockState>& states = prepared.palette.states;
    nbt.BeginList("BlockStatePalette", NbtTag::Compound, static_cast<std::int32_t>(states.size()));
    for (const BlockState& state : states) {
        nbt.String("Name", state.name);
        if (!state.properties.empty()) {
            nbt.BeginCompound("Properties");
            for (const auto& [key, value] : state.properties) nbt.String(key, value);
            nbt.EndCompound();
        }
        nbt.EndCompound();
    }
    // Entry i takes bits [i·bits, (i+1)·bits) of the longs, low bits first; it may cross into the
    // next long.
    const int bits = BitsPerEntry(states.size());
    const std::uint64_t longs = (std::uint64_t{source.width} * source.height * static_cast<unsigned>(bits) + 63) / 64;
    nbt.BeginLongArray("BlockStates", static_cast<std::int32_t>(longs));
    std::uint64_t word = 0;
    int filled = 0;
    std::vector<std::uint8_t> out;
    out.reserve(8 * (std::size_t{source.width} * static_cast<unsigned>(bits) / 64 + 2));
    const auto putWord = [&](std::uint64_t value) {
        for (int shift = 56; shift >= 0; shift -= 8) out.push_back(static_cast<std::uint8_t>(value >> shift));
    };
    ForEachRowTopFirst(source, [&](const std::int32_t* row) {
        for (std::uint32_t x = 0; x < source.width; ++x) {
            const auto index =
                static_cast<std::uint64_t>(prepared.palette.indexOfCell[Slot(row[x])]);
            word |= index << filled;
            filled += bits;
            if (filled >= 64) {
                putWord(word);
                filled -= 64;
                word = filled > 0 ? index >> (bits - filled) : 0;
            }
        }
        nbt.PutBytes(out.data(), out.size());
        out.clear();
    });
    if (filled > 0) putWord(word);
    nbt.PutBytes(out.data(), out.size());
    for (std::string_view list : {"TileEntities", "Entities", "PendingBlockTicks", "PendingFluidTicks"}) {
        nbt.BeginList(list, NbtTag::Compound, 0);
    }
    nbt.EndCompound();
    nbt.EndCompound();
    nbt.EndCompound();
}

void Emit(NbtWriter& nbt, const BlockFileSource& source, const BlockFileOptions& options,
          const Prepared& prepared) {
    switch (options.format) {
        case BlockFileFormat::Schematic: EmitSchematic(nbt, source); return;
        case BlockFileFormat::Schem: EmitSchem(nbt, source, prepared, options.schemVersion); return;
        case BlockFileFormat::Litematic: EmitLitematic(nbt, source, prepared); return;
    }
}

}  // namespace

std::vector<std::int32_t> LitematicPreview(const BlockFileSource& source, std::uint32_t& side) {
    const std::uint32_t longest = std::max(source.width, source.height);
    side = std::min(PREVIEW_SIDE, longest);
    if (source.width == 0 || source.height == 0) {
        side = 0;
        return {};
    }
    // The art fitted into the square, centred; the rest is transparent.
    const auto fit = [&](std::uint32_t n) {
        return std::max<std::uint32_t>(1, static_cast<std::uint32_t>(std::uint64_t{n} * side / longest));
    };
    const std::uint32_t artWidth = fit(source.width);
    const std::uint32_t artHeight = fit(source.height);
    const std::uint32_t left = (side - artWidth) / 2;
    const std::uint32_t top = (side - artHeight) / 2;
    std::vector<std::int32_t> pixels(std::size_t{side} * side, 0);
    for (std::uint32_t y = 0; y < artHeight; ++y) {
        const auto z = static_cast<std::uint32_t>(std::uint64_t{y} * source.height / artHeight);
        const std::int32_t* row = source.blockGrid + std::size_t{source.height - 1 - z} * source.width;
        for (std::uint32_t x = 0; x < artWidth; ++x) {
            const std::int32_t entry = row[std::uint64_t{x} * source.width / artWidth];
            if (entry == NO_BLOCK) continue;
            const Pixel color = source.table->colors[static_cast<std::size_t>(entry)] | 0xFF000000u;
            pixels[std::size_t{top + y} * side + left + x] = static_cast<std::int32_t>(color);
        }
    }
    return pixels;
}

BlockFileOutcome WriteBlockNbt(ByteSink& sink, const BlockFileSource& source, const BlockFileOptions& options) {
    Prepared prepared;
    BlockFileOutcome checked = Check(source, options, prepared);
    if (!checked.ok()) return checked;
    NbtWriter nbt(sink);
    Emit(nbt, source, options, prepared);
    if (!nbt.good()) return Refuse(BlockFileStatus::WriteFailed, nbt.error());
    return {};
}

BlockFileOutcome WriteBlockFile(const std::filesystem::path& path, const BlockFileSource& source,
                                const BlockFileOptions& options) {
    if (options.format == BlockFileFormat::Schematic && !options.gzip) {
        const SchematicOutcome written = WriteSchematicFile(path, source);
        switch (written.status) {
            case SchematicStatus::Ok: return {};
            case SchematicStatus::TooLarge: return Refuse(BlockFileStatus::TooLarge, written.message);
            case SchematicStatus::OpenFailed: return Refuse(BlockFileStatus::OpenFailed, written.message);
            case SchematicStatus::WriteFailed: break;
        }
        return Refuse(BlockFileStatus::WriteFailed, written.message);
    }
    Prepared prepared;
    BlockFileOutcome checked = Check(source, options, prepared);
    if (!checked.ok()) return checked;
    std::string error;
    const WriteOutcome written = ReplaceFile(path, [&](std::FILE* stream) {
        const std::unique_ptr<ByteSink> sink = MakeGzipSink(stream);
        NbtWriter nbt(*sink);
        Emit(nbt, source, options, prepared);
        const bool ok = nbt.good() && sink->Finish();
        if (!ok) error = nbt.error();
        return ok;
    });
    switch (written.status) {
        case WriteStatus::Ok: return {};
        case WriteStatus::OpenFailed: return Refuse(BlockFileStatus::OpenFailed, written.message);
        case WriteStatus::WriteFailed: break;
    }
    return Refuse(BlockFileStatus::WriteFailed,
                  written.message + (error.empty() || error == "could not write" ? "" : " (" + error + ")"));
}

}  // namespace tesselbox
