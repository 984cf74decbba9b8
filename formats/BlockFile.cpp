#include "formats/BlockFile.h"

#include "fileio/ReplaceFile.h"
#include "formats/NbtWriter.h"

#include <algorithm>
#include <charconv>
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
    if (extension == ".nbt") return BlockFileFormat::Nbt;
    if (extension == ".mcstructure") return BlockFileFormat::McStructure;
    return BlockFileFormat::Schematic;
}

std::optional<BlockFileFormat> FormatFromName(std::string_view name) {
    if (name == "schematic") return BlockFileFormat::Schematic;
    if (name == "schem") return BlockFileFormat::Schem;
    if (name == "litematic") return BlockFileFormat::Litematic;
    if (name == "nbt") return BlockFileFormat::Nbt;
    if (name == "mcstructure") return BlockFileFormat::McStructure;
    return std::nullopt;
}

std::string_view FormatExtension(BlockFileFormat format) {
    switch (format) {
        case BlockFileFormat::Schem: return ".schem";
        case BlockFileFormat::Litematic: return ".litematic";
        case BlockFileFormat::Nbt: return ".nbt";
        case BlockFileFormat::McStructure: return ".mcstructure";
        case BlockFileFormat::Schematic: break;
    }
    return ".schematic";
}

namespace {

// Each format's limits, checked in Check() and nowhere else.
constexpr std::uint32_t MAX_SCHEMATIC_SIDE = MAX_PICTURE_SIDE;  // Width, Height, Length: signed shorts
constexpr std::uint32_t MAX_SCHEM_SIDE = 65535;  // Width, Height and Length are read as unsigned shorts
constexpr std::uint64_t MAX_NBT_ARRAY = std::numeric_limits<std::int32_t>::max();
// A structure file is read whole into the game's memory before a block is placed; Java keeps each
// block as tags of its own (a compound, a list and four numbers: about 200 bytes), so 4096 x 4096
// blocks already take some 3 GB of the heap a launcher gives by default. Larger art goes in pieces.
constexpr std::uint64_t MAX_STRUCTURE_BLOCKS = std::uint64_t{4096} * 4096;

// The palette of a structure file: the used states, no air; -1 for a cell left as it is.
struct StructurePalette {
    std::vector<std::size_t> entryOf;       // palette index -> the first table entry with that state
    std::vector<std::int32_t> indexOfCell;  // [entry + 1]
    std::uint64_t blocks = 0;               // cells with a block
};

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
    const BedrockVersion* bedrock = nullptr;
    BlockBox box;
    BlockPalette palette;
    std::vector<BlockState> javaStates;        // .nbt: each table entry's state
    std::vector<BedrockState> bedrockStates;   // .mcstructure: each table entry's state
    StructurePalette structure;
    std::int64_t timeMillis = 0;
    std::string name;
};

// Where a grid cell's entry sits in the arrays that keep NO_BLOCK at 0.
std::size_t Slot(std::int32_t cell) { return static_cast<std::size_t>(std::int64_t{cell} + 1); }

BlockFileOutcome Refuse(BlockFileStatus status, std::string message) { return {status, std::move(message)}; }

std::string Size(const BlockFileSource& source) {
    if (source.volume != nullptr) {
        return std::to_string(source.volume->x) + " x " + std::to_string(source.volume->y) + " x " +
               std::to_string(source.volume->z);
    }
    return std::to_string(source.width) + " x " + std::to_string(source.height);
}

std::uint64_t CellCount(const BlockBox& box) { return std::uint64_t{box.x} * box.y * box.z; }

// Each row of box.x cells in the file's order (y slowest, then z), with its y and z: on the floor
// the top picture row first, as a wall the bottom row first (the grid keeps the bottom row first).
template <typename RowFunction>
void ForEachFileRow(const BlockFileSource& source, Orientation orientation, RowFunction row) {
    if (const BlockVolume* volume = source.volume) {
        for (std::uint32_t y = 0; y < volume->y; ++y) {
            for (std::uint32_t z = 0; z < volume->z; ++z) {
                row(volume->cells + (std::size_t{y} * volume->z + z) * volume->x, y, z);
            }
        }
        return;
    }
    const bool wall = orientation == Orientation::Wall;
    for (std::uint32_t i = 0; i < source.height; ++i) {
        const std::uint32_t memoryRow = wall ? i : source.height - 1 - i;
        row(source.blockGrid + std::size_t{memoryRow} * source.width, wall ? i : 0, wall ? 0 : i);
    }
}

// Map art's volumes are nearly all air: whole runs of it are passed over a chunk at a time.
constexpr std::uint32_t AIR_CHUNK = 16;
static_assert(NO_BLOCK == -1, "AllAir reads a run of NO_BLOCK as every bit set");
bool AllAir(const std::int32_t* cells) {
    std::int32_t all = NO_BLOCK;
    for (std::uint32_t i = 0; i < AIR_CHUNK; ++i) all &= cells[i];
    return all == NO_BLOCK;
}

std::vector<std::uint64_t> CountEntries(const BlockFileSource& source, std::size_t entries) {
    std::vector<std::uint64_t> counts(entries + 1, 0);  // [entry + 1]
    const std::uint32_t width = FileBox(source, Orientation::Floor).x;
    ForEachFileRow(source, Orientation::Floor, [&](const std::int32_t* cells, std::uint32_t, std::uint32_t) {
        std::uint32_t x = 0;
        for (; x + AIR_CHUNK <= width; x += AIR_CHUNK) {
            if (AllAir(cells + x)) {
                counts[0] += AIR_CHUNK;
                continue;
            }
            for (std::uint32_t i = x; i < x + AIR_CHUNK; ++i) ++counts[Slot(cells[i])];
        }
        for (; x < width; ++x) ++counts[Slot(cells[x])];
    });
    return counts;
}

// States keyed by their text, in table order of first use; air stays out.
template <typename State>
StructurePalette MakeStructurePalette(const BlockFileSource& source, const std::vector<State>& entryStates) {
    const std::vector<std::uint64_t> counts = CountEntries(source, entryStates.size());
    StructurePalette palette;
    palette.indexOfCell.assign(entryStates.size() + 1, -1);
    std::map<std::string, std::int32_t> indexOf;
    for (std::size_t entry = 0; entry < entryStates.size(); ++entry) {
        if (counts[entry + 1] == 0 || entryStates[entry].name == "minecraft:air") continue;
        const auto [at, added] =
            indexOf.emplace(entryStates[entry].ToString(), static_cast<std::int32_t>(palette.entryOf.size()));
        if (added) palette.entryOf.push_back(entry);
        palette.indexOfCell[entry + 1] = at->second;
        palette.blocks += counts[entry + 1];
    }
    return palette;
}

// mostUsedFirst numbers the states by how many cells use them (ties in table order, air first),
// so that in a .schem as many cells as possible take one-byte varints.
BlockPalette MakePalette(const BlockFileSource& source, const std::vector<BlockState>& entryStates,
                         bool mostUsedFirst) {
    const std::size_t entries = entryStates.size();
    const std::vector<std::uint64_t> counts = CountEntries(source, entries);
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

std::string Extension(BlockFileFormat format) { return std::string(FormatExtension(format)); }

// The first entry a .schematic cannot hold, as a message; empty when every entry has an id:data.
std::string NamedEntryRefusal(const ColorTable& table) {
    for (std::size_t i = 0; i < static_cast<std::size_t>(table.count); ++i) {
        if (table.blockStates[i].empty()) continue;
        return TableEntryPlace(table, i) + ": " + table.blockStates[i] +
               " has no numeric id, which a .schematic needs; write .schem, .litematic or .nbt";
    }
    return {};
}

BlockFileOutcome Check(const BlockFileSource& source, const BlockFileOptions& options, Prepared& prepared) {
    const BlockFileFormat format = options.format;
    const BlockBox box = FileBox(source, options.orientation);
    prepared.box = box;
    const std::uint64_t cells = CellCount(box);
    if (format == BlockFileFormat::Schematic && source.volume != nullptr) {
        return Refuse(BlockFileStatus::BadOption, "a .schematic holds one layer of numbered blocks, not blocks at "
                                                  "several heights; write .schem, .litematic, .nbt or .mcstructure");
    }
    if (format == BlockFileFormat::Schem && options.schemVersion != 2 && options.schemVersion != 3) {
        return Refuse(BlockFileStatus::BadOption, "a .schem is version 2 or 3, not " + std::to_string(options.schemVersion));
    }
    const std::uint32_t maxSide = format == BlockFileFormat::Schem ? MAX_SCHEM_SIDE : MAX_SCHEMATIC_SIDE;
    if (std::max({box.x, box.y, box.z}) > maxSide) {
        return Refuse(BlockFileStatus::TooLarge, (format == BlockFileFormat::Schematic ? std::string("a schematic") : "a " + Extension(format)) +
                                                     " side may be at most " + std::to_string(maxSide) +
                                                     " blocks; this picture is " + Size(source));
    }
    const bool structure = format == BlockFileFormat::Nbt || format == BlockFileFormat::McStructure;
    const std::uint64_t maxCells = structure ? MAX_STRUCTURE_BLOCKS : MAX_NBT_ARRAY;
    if (cells > maxCells) {
        return Refuse(BlockFileStatus::TooLarge, "a " + Extension(format) + " holds at most " + std::to_string(maxCells) +
                                                     " blocks; this picture is " + Size(source) + " = " +
                                                     std::to_string(cells) +
                                                     (structure ? " (the game reads it whole into memory; "
                                                                  "split it into pieces)"
                                                                : ""));
    }
    prepared.version = options.gameVersion != nullptr ? options.gameVersion : &NewestGameVersion();
    prepared.bedrock = options.bedrockVersion != nullptr ? options.bedrockVersion : &NewestBedrockVersion();
    if (options.orientation == Orientation::Wall || source.volume != nullptr) {
        const bool bedrock = format == BlockFileFormat::McStructure;
        const std::uint32_t buildHeight = bedrock ? BEDROCK_BUILD_HEIGHT : BuildHeight(*prepared.version);
        if (box.y > buildHeight) {
            return Refuse(BlockFileStatus::TooLarge,
                          (source.volume != nullptr ? "art " : "a wall ") + std::to_string(box.y) + " blocks tall is higher than the build height of " +
                              std::to_string(buildHeight) + " blocks in Minecraft " +
                              (bedrock ? "Bedrock " + std::string(prepared.bedrock->name)
                                       : std::string(prepared.version->name)));
        }
    }
    if (format == BlockFileFormat::Schematic) {
        if (const std::string named = NamedEntryRefusal(*source.table); !named.empty()) {
            return Refuse(BlockFileStatus::NoNumericId, named);
        }
        return {};
    }
    if (cells == 0) {
        return Refuse(BlockFileStatus::Empty, "a " + Extension(format) +
                                                  " needs at least one block each way; this picture is " +
                                                  Size(source));
    }
    if (format == BlockFileFormat::McStructure) {
        TableBedrockStates resolved = ResolveTableBedrockStates(*source.table, *prepared.bedrock);
        if (!resolved.ok()) return Refuse(BlockFileStatus::NoBlockName, resolved.message);
        prepared.structure = MakeStructurePalette(source, resolved.states);
        prepared.bedrockStates = std::move(resolved.states);
        return {};
    }
    TableBlockStates resolved = ResolveTableBlockStates(*source.table, *prepared.version);
    if (!resolved.ok()) {
        const bool named = !source.table->blockStates[static_cast<std::size_t>(resolved.refusedEntry)].empty();
        return Refuse(named ? BlockFileStatus::UnknownBlock : BlockFileStatus::NoBlockName, resolved.message);
    }
    if (format == BlockFileFormat::Nbt) {
        prepared.structure = MakeStructurePalette(source, resolved.states);
        prepared.javaStates = std::move(resolved.states);
        return {};
    }
    prepared.palette = MakePalette(source, resolved.states, format == BlockFileFormat::Schem);
    if (format == BlockFileFormat::Schem && cells + prepared.palette.twoByteCells > MAX_NBT_ARRAY) {
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

// A Java block state as .litematic and .nbt palettes hold it: Name, Properties only when it has any.
void PutBlockState(NbtWriter& nbt, const BlockState& state) {
    nbt.String("Name", state.name);
    if (!state.properties.empty()) {
        nbt.BeginCompound("Properties");
        for (const auto& [key, value] : state.properties) nbt.String(key, value);
        nbt.EndCompound();
    }
    nbt.EndCompound();
}

// ---- MCEdit .schematic ---------------------------------------------------------------------------

void EmitSchematic(NbtWriter& nbt, const BlockFileSource& source, Orientation orientation, const BlockBox& box) {
    const std::uint32_t cells = source.width * source.height;
    nbt.BeginCompound("Schematic");
    nbt.Short("Height", static_cast<std::uint16_t>(box.y));
    nbt.Short("Length", static_cast<std::uint16_t>(box.z));
    nbt.Short("Width", static_cast<std::uint16_t>(box.x));
    nbt.BeginList("Entities", NbtTag::Compound, 0);
    nbt.BeginList("TileEntities", NbtTag::Compound, 0);
    nbt.String("Materials", "Alpha");
    std::vector<std::uint8_t> row(source.width);
    for (const bool ids : {true, false}) {
        nbt.BeginByteArray(ids ? "Blocks" : "Data", static_cast<std::int32_t>(cells));
        const auto& values = ids ? source.table->blockIds : source.table->blockData;
        ForEachFileRow(source, orientation, [&](const std::int32_t* rowCells, std::uint32_t, std::uint32_t) {
            for (std::uint32_t x = 0; x < source.width; ++x) {
                row[x] = rowCells[x] == NO_BLOCK ? 0 : values[static_cast<std::size_t>(rowCells[x])];
            }
            nbt.PutBytes(row.data(), row.size());
        });
    }
    nbt.EndCompound();
}

// ---- Sponge .schem ------------------------------------------------------------------------------

void EmitSchemBlocks(NbtWriter& nbt, const BlockFileSource& source, Orientation orientation, const BlockBox& box,
                     const BlockPalette& palette, std::string_view paletteName, std::string_view dataName) {
    nbt.BeginCompound(paletteName);
    for (std::size_t i = 0; i < palette.states.size(); ++i) {
        nbt.Int(palette.states[i].ToString(), static_cast<std::int32_t>(i));
    }
    nbt.EndCompound();
    const std::uint64_t bytes = CellCount(box) + palette.twoByteCells;
    nbt.BeginByteArray(dataName, static_cast<std::int32_t>(bytes));
    // Varints: seven bits a byte, low group first, the high bit set while more follow.
    std::vector<std::uint8_t> row(2 * std::size_t{box.x});
    ForEachFileRow(source, orientation, [&](const std::int32_t* cells, std::uint32_t, std::uint32_t) {
        std::size_t used = 0;
        for (std::uint32_t x = 0; x < box.x; ++x) {
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

void EmitSchem(NbtWriter& nbt, const BlockFileSource& source, Orientation orientation, const Prepared& prepared,
               int version) {
    // FAWE's fast reader wants Version, DataVersion, Metadata, sizes, Offset, then the blocks.
    if (version == 3) nbt.BeginCompound("");
    nbt.BeginCompound("Schematic");
    nbt.Int("Version", version);
    nbt.Int("DataVersion", prepared.version->dataVersion);
    nbt.BeginCompound("Metadata");
    nbt.String("Name", prepared.name);
    nbt.Long("Date", prepared.timeMillis);
    nbt.EndCompound();
    nbt.Short("Width", static_cast<std::uint16_t>(prepared.box.x));
    nbt.Short("Height", static_cast<std::uint16_t>(prepared.box.y));
    nbt.Short("Length", static_cast<std::uint16_t>(prepared.box.z));
    const std::int32_t offset[3] = {0, 0, 0};
    nbt.IntArray("Offset", offset);
    if (version == 3) {
        nbt.BeginCompound("Blocks");
        EmitSchemBlocks(nbt, source, orientation, prepared.box, prepared.palette, "Palette", "Data");
        nbt.EndCompound();
        nbt.EndCompound();
    } else {
        nbt.Int("PaletteMax", static_cast<std::int32_t>(prepared.palette.states.size()));
        EmitSchemBlocks(nbt, source, orientation, prepared.box, prepared.palette, "Palette", "BlockData");
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

void EmitLitematic(NbtWriter& nbt, const BlockFileSource& source, Orientation orientation, const Prepared& prepared) {
    const auto sizeX = static_cast<std::int32_t>(prepared.box.x);
    const auto sizeY = static_cast<std::int32_t>(prepared.box.y);
    const auto sizeZ = static_cast<std::int32_t>(prepared.box.z);
    const auto cells = static_cast<std::int32_t>(CellCount(prepared.box));
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
    XYZ(nbt, "EnclosingSize", sizeX, sizeY, sizeZ);
    std::uint32_t side = 0;
    const std::vector<std::int32_t> preview = LitematicPreview(source, side);
    if (!preview.empty()) nbt.IntArray("PreviewImageData", preview);
    nbt.EndCompound();

    nbt.BeginCompound("Regions");
    nbt.BeginCompound(prepared.name);
    XYZ(nbt, "Position", 0, 0, 0);
    XYZ(nbt, "Size", sizeX, sizeY, sizeZ);
    const std::vector<BlockState>& states = prepared.palette.states;
    nbt.BeginList("BlockStatePalette", NbtTag::Compound, static_cast<std::int32_t>(states.size()));
    for (const BlockState& state : states) PutBlockState(nbt, state);
    // Entry i takes bits [i·bits, (i+1)·bits) of the longs, low bits first; it may cross into the
    // next long.
    const int bits = BitsPerEntry(states.size());
    const std::uint64_t longs = (CellCount(prepared.box) * static_cast<unsigned>(bits) + 63) / 64;
    nbt.BeginLongArray("BlockStates", static_cast<std::int32_t>(longs));
    std::uint64_t word = 0;
    int filled = 0;
    std::vector<std::uint8_t> out;
    out.reserve(8 * (std::size_t{prepared.box.x} * static_cast<unsigned>(bits) / 64 + 2));
    const auto putWord = [&](std::uint64_t value) {
        for (int shift = 56; shift >= 0; shift -= 8) out.push_back(static_cast<std::uint8_t>(value >> shift));
    };
    const bool airIsZero = prepared.palette.indexOfCell[0] == 0;
    ForEachFileRow(source, orientation, [&](const std::int32_t* row, std::uint32_t, std::uint32_t) {
        for (std::uint32_t x = 0; x < prepared.box.x; ++x) {
            if (airIsZero && x % AIR_CHUNK == 0 && x + AIR_CHUNK <= prepared.box.x && AllAir(row + x)) {
                // Zero bits: only where the words end moves.
                int advance = static_cast<int>(AIR_CHUNK) * bits;
                while (filled + advance >= 64) {
                    putWord(word);
                    advance -= 64 - filled;
                    filled = 0;
                    word = 0;
                }
                filled += advance;
                x += AIR_CHUNK - 1;
                continue;
            }
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

// ---- The games' structure files ----------------------------------------------------------------

void Box(NbtWriter& nbt, std::string_view name, const BlockBox& box) {
    nbt.BeginList(name, NbtTag::Int, 3);
    for (const std::uint32_t side : {box.x, box.y, box.z}) nbt.PutI32(static_cast<std::int32_t>(side));
}

void PutBigEndian(std::uint8_t* at, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) at[i] = static_cast<std::uint8_t>(value >> (24 - 8 * i));
}

// Java: every block listed with its place; cells without one are left as they are.
void EmitStructureNbt(NbtWriter& nbt, const BlockFileSource& source, Orientation orientation, const Prepared& prepared) {
    const StructurePalette& palette = prepared.structure;
    nbt.BeginCompound("");
    nbt.Int("DataVersion", prepared.version->dataVersion);
    Box(nbt, "size", prepared.box);
    nbt.BeginList("palette", NbtTag::Compound, static_cast<std::int32_t>(palette.entryOf.size()));
    for (const std::size_t entry : palette.entryOf) PutBlockState(nbt, prepared.javaStates[entry]);
    nbt.BeginList("blocks", NbtTag::Compound, static_cast<std::int32_t>(palette.blocks));
    // One block: pos, a list of three ints; state, an int; the compound's end. A row's buffer holds
    // the block's bytes once per cell, so each block written patches only its four numbers.
    static constexpr std::uint8_t BLOCK[36] = {9, 0, 3, 'p', 'o', 's', 3, 0, 0, 0, 3, 0, 0, 0, 0, 0, 0, 0, 0,
                                               0, 0, 0, 0, 3, 0, 5, 's', 't', 'a', 't', 'e', 0, 0, 0, 0, 0};
    constexpr std::size_t X_AT = 11, Y_AT = 15, Z_AT = 19, STATE_AT = 31;
    std::vector<std::uint8_t> row(sizeof BLOCK * std::size_t{prepared.box.x});
    for (std::size_t at = 0; at < row.size(); at += sizeof BLOCK) std::copy(std::begin(BLOCK), std::end(BLOCK), &row[at]);
    ForEachFileRow(source, orientation, [&](const std::int32_t* cells, std::uint32_t cellY, std::uint32_t cellZ) {
        std::uint8_t y[4], z[4];
        PutBigEndian(y, cellY);
        PutBigEndian(z, cellZ);
        std::uint8_t* block = row.data();
        for (std::uint32_t x = 0; x < prepared.box.x; ++x) {
            if (x % AIR_CHUNK == 0 && x + AIR_CHUNK <= prepared.box.x && AllAir(cells + x)) {
                x += AIR_CHUNK - 1;
                continue;
            }
            const std::int32_t index = palette.indexOfCell[Slot(cells[x])];
            if (index < 0) continue;
            PutBigEndian(block + X_AT, x);
            std::copy(y, y + 4, block + Y_AT);
            std::copy(z, z + 4, block + Z_AT);
            PutBigEndian(block + STATE_AT, static_cast<std::uint32_t>(index));
            block += sizeof BLOCK;
        }
        nbt.PutBytes(row.data(), static_cast<std::size_t>(block - row.data()));
    });
    nbt.BeginList("entities", NbtTag::Compound, 0);
    nbt.EndCompound();
}

// A Bedrock state's byte or int value; the table's parser let only digits through.
std::int32_t StateNumber(std::string_view text) {
    std::int32_t value = 0;
    std::from_chars(text.data(), text.data() + text.size(), value);
    return value;
}

void PutLittleEndian(std::uint8_t* at, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) at[i] = static_cast<std::uint8_t>(value >> (8 * i));
}

// Bedrock: two layers of x·y·z palette indices, x slowest, z fastest; -1 leaves the world as it is.
void EmitMcStructure(NbtWriter& nbt, const BlockFileSource& source, Orientation orientation, const Prepared& prepared) {
    const StructurePalette& palette = prepared.structure;
    const auto cells = static_cast<std::int32_t>(CellCount(prepared.box));
    nbt.BeginCompound("");
    nbt.Int("format_version", 1);
    Box(nbt, "size", prepared.box);
    nbt.BeginCompound("structure");
    nbt.BeginList("block_indices", NbtTag::List, 2);
    nbt.PutListHeader(NbtTag::Int, cells);
    // Each x holds its y·z cells, z fastest; a band of x is gathered row by row, then written x by x.
    constexpr std::uint32_t BAND = 64;
    const std::uint32_t width = prepared.box.x, length = prepared.box.z;
    const std::size_t perX = std::size_t{prepared.box.y} * length;
    std::vector<std::uint8_t> band(std::size_t{BAND} * perX * 4);
    for (std::uint32_t x0 = 0; x0 < width; x0 += BAND) {
        const std::uint32_t columns = std::min(BAND, width - x0);
        ForEachFileRow(source, orientation, [&](const std::int32_t* row, std::uint32_t y, std::uint32_t z) {
            const std::size_t along = std::size_t{y} * length + z;
            for (std::uint32_t c = 0; c < columns; ++c) {
                const std::int32_t index = palette.indexOfCell[Slot(row[x0 + c])];
                PutLittleEndian(&band[(c * perX + along) * 4], static_cast<std::uint32_t>(index));
            }
        });
        nbt.PutBytes(band.data(), columns * perX * 4);
    }
    nbt.PutListHeader(NbtTag::Int, cells);
    std::fill(band.begin(), band.end(), std::uint8_t{0xFF});  // -1 in every byte order
    for (std::uint32_t x0 = 0; x0 < width; x0 += BAND) {
        nbt.PutBytes(band.data(), std::min(BAND, width - x0) * perX * 4);
    }
    nbt.BeginList("entities", NbtTag::Compound, 0);
    nbt.BeginCompound("palette");
    nbt.BeginCompound("default");
    nbt.BeginList("block_palette", NbtTag::Compound, static_cast<std::int32_t>(palette.entryOf.size()));
    for (const std::size_t entry : palette.entryOf) {
        const BedrockState& state = prepared.bedrockStates[entry];
        nbt.String("name", state.name);
        nbt.BeginCompound("states");
        for (const BedrockProperty& property : state.properties) {
            switch (property.type) {
                case BedrockProperty::Type::String: nbt.String(property.key, property.value); break;
                case BedrockProperty::Type::Byte:
                    nbt.Byte(property.key, static_cast<std::uint8_t>(StateNumber(property.value)));
                    break;
                case BedrockProperty::Type::Int: nbt.Int(property.key, StateNumber(property.value)); break;
            }
        }
        nbt.EndCompound();
        nbt.Int("version", prepared.bedrock->blockVersion);
        nbt.EndCompound();
    }
    nbt.BeginCompound("block_position_data");
    nbt.EndCompound();
    nbt.EndCompound();
    nbt.EndCompound();
    nbt.EndCompound();
    Box(nbt, "structure_world_origin", BlockBox{});
    nbt.EndCompound();
}

void Emit(NbtWriter& nbt, const BlockFileSource& source, const BlockFileOptions& options,
          const Prepared& prepared) {
    const Orientation orientation = options.orientation;
    switch (options.format) {
        case BlockFileFormat::Schematic: EmitSchematic(nbt, source, orientation, prepared.box); return;
        case BlockFileFormat::Schem: EmitSchem(nbt, source, orientation, prepared, options.schemVersion); return;
        case BlockFileFormat::Litematic: EmitLitematic(nbt, source, orientation, prepared); return;
        case BlockFileFormat::Nbt: EmitStructureNbt(nbt, source, orientation, prepared); return;
        case BlockFileFormat::McStructure: EmitMcStructure(nbt, source, orientation, prepared); return;
    }
}

ByteOrder OrderOf(BlockFileFormat format) {
    return format == BlockFileFormat::McStructure ? ByteOrder::Little : ByteOrder::Big;
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
    NbtWriter nbt(sink, OrderOf(options.format));
    Emit(nbt, source, options, prepared);
    if (!nbt.good()) return Refuse(BlockFileStatus::WriteFailed, nbt.error());
    return {};
}

BlockFileOutcome CheckBlockFile(const BlockFileSource& source, const BlockFileOptions& options) {
    Prepared prepared;
    return Check(source, options, prepared);
}

BlockBox FileBox(const BlockFileSource& source, Orientation orientation) {
    if (source.volume != nullptr) return {source.volume->x, source.volume->y, source.volume->z};
    if (orientation == Orientation::Wall) return {source.width, source.height, 1};
    return {source.width, 1, source.height};
}

BlockFileOutcome WriteBlockFile(const std::filesystem::path& path, const BlockFileSource& source,
                                const BlockFileOptions& options) {
    Prepared prepared;
    BlockFileOutcome checked = Check(source, options, prepared);
    if (!checked.ok()) return checked;
    std::string error;
    const WriteOutcome written = ReplaceFile(path, [&](std::FILE* stream) {
        // The plain .schematic and the .mcstructure are read uncompressed; the rest only as gzip.
        const bool plain = options.format == BlockFileFormat::McStructure ||
                           (options.format == BlockFileFormat::Schematic && !options.gzip);
        const std::unique_ptr<ByteSink> sink = plain ? MakeStreamSink(stream) : MakeGzipSink(stream);
        NbtWriter nbt(*sink, OrderOf(options.format));
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
