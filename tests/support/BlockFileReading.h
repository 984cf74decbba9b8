// Reading the block files back for tests and fuzz targets: gunzip, then each format's cells as
// block state strings, top picture row first. Decodes bit by bit and byte by byte from the formats'
// descriptions, independently of the writers' packing loops.
#pragma once

#include "formats/BlockFile.h"
#include "tests/support/NbtReader.h"

#include <zlib.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tesselbox::testing {

// Inflates a gzip stream; false when it is not one or is cut short.
inline bool Gunzip(std::string_view compressed, std::string& out) {
    z_stream stream{};
    if (inflateInit2(&stream, 15 + 16) != Z_OK) return false;
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(compressed.data()));
    stream.avail_in = static_cast<uInt>(compressed.size());
    char buffer[1 << 14];
    int result = Z_OK;
    while (result == Z_OK) {
        stream.next_out = reinterpret_cast<Bytef*>(buffer);
        stream.avail_out = sizeof buffer;
        result = inflate(&stream, Z_NO_FLUSH);
        out.append(buffer, sizeof buffer - stream.avail_out);
    }
    inflateEnd(&stream);
    return result == Z_STREAM_END && stream.avail_in == 0;
}

// What a state string looks like in any of the files; air where the grid has no block.
inline std::vector<std::string> ExpectedCells(const BlockFileSource& source, const GameVersion& version) {
    std::vector<std::string> cells;
    cells.reserve(std::size_t{source.width} * source.height);
    for (std::uint32_t z = 0; z < source.height; ++z) {
        for (std::uint32_t x = 0; x < source.width; ++x) {
            const std::int32_t entry = source.blockGrid[std::size_t{source.height - 1 - z} * source.width + x];
            BlockState state{"minecraft:air", {}};
            if (entry != NO_BLOCK) {
                const auto i = static_cast<std::size_t>(entry);
                if (!source.table->blockStates[i].empty()) state = ParseBlockState(source.table->blockStates[i]);
                else BlockStateFor(source.table->blockIds[i], source.table->blockData[i], version, state);
            }
            cells.push_back(state.ToString());
        }
    }
    return cells;
}

struct DecodedFile {
    std::int64_t width = -1, height = -1, length = -1;
    std::int64_t dataVersion = -1;
    std::vector<std::string> cells;  // x fastest, then z; the layer y = 0
    std::string error;
};

inline DecodedFile Failed(const char* what) {
    DecodedFile file;
    file.error = what;
    return file;
}

inline std::int64_t NumberOf(const NbtNode* node, std::string& error, const char* what) {
    if (node == nullptr) {
        if (error.empty()) error = std::string("missing ") + what;
        return -1;
    }
    return node->number;
}

// A Sponge .schem of version 2 or 3 (the root as read, named "Schematic" or "").
inline DecodedFile DecodeSchem(const NbtNode& root) {
    DecodedFile file;
    const NbtNode* schematic = root.name == "" ? root.Find("Schematic") : &root;
    if (schematic == nullptr) return Failed("no Schematic compound");
    const std::int64_t version = NumberOf(schematic->Find("Version"), file.error, "Version");
    file.dataVersion = NumberOf(schematic->Find("DataVersion"), file.error, "DataVersion");
    file.width = NumberOf(schematic->Find("Width"), file.error, "Width") & 0xFFFF;
    file.height = NumberOf(schematic->Find("Height"), file.error, "Height") & 0xFFFF;
    file.length = NumberOf(schematic->Find("Length"), file.error, "Length") & 0xFFFF;
    const NbtNode* blocks = version == 3 ? schematic->Find("Blocks") : schematic;
    const NbtNode* palette = blocks ? blocks->Find("Palette") : nullptr;
    const NbtNode* data = blocks ? blocks->Find(version == 3 ? "Data" : "BlockData") : nullptr;
    if (palette == nullptr || data == nullptr) return Failed("no Palette or block data");
    if (version == 2 && NumberOf(schematic->Find("PaletteMax"), file.error, "PaletteMax") !=
                            static_cast<std::int64_t>(palette->children.size())) {
        return Failed("PaletteMax is not the palette's size");
    }
    std::vector<std::string> names(palette->children.size());
    for (const NbtNode& entry : palette->children) {
        if (entry.number < 0 || static_cast<std::size_t>(entry.number) >= names.size() || !names[static_cast<std::size_t>(entry.number)].empty())
            return Failed("palette indices are not 0..n-1");
        names[static_cast<std::size_t>(entry.number)] = entry.name;
    }
    std::size_t at = 0;
    while (at < data->values.size()) {
        std::uint64_t value = 0;
        for (int shift = 0;; shift += 7) {
            if (at >= data->values.size() || shift > 28) return Failed("a varint runs off the end");
            const auto byte = static_cast<std::uint64_t>(data->values[at++]);
            value |= (byte & 0x7F) << shift;
            if ((byte & 0x80) == 0) break;
        }
        if (value >= names.size()) return Failed("a cell outside the palette");
        file.cells.push_back(names[value]);
    }
    return file;
}

// A .litematic with one region.
inline DecodedFile DecodeLitematic(const NbtNode& root) {
    DecodedFile file;
    file.dataVersion = NumberOf(root.Find("MinecraftDataVersion"), file.error, "MinecraftDataVersion");
    const NbtNode* regions = root.Find("Regions");
    if (regions == nullptr || regions->children.size() != 1) return Failed("not one region");
    const NbtNode& region = regions->children[0];
    const NbtNode* size = region.Find("Size");
    if (size == nullptr) return Failed("no Size");
    file.width = NumberOf(size->Find("x"), file.error, "x");
    file.height = NumberOf(size->Find("y"), file.error, "y");
    file.length = NumberOf(size->Find("z"), file.error, "z");
    const NbtNode* palette = region.Find("BlockStatePalette");
    const NbtNode* states = region.Find("BlockStates");
    if (palette == nullptr || states == nullptr || palette->children.empty()) return Failed("no palette or states");
    std::vector<std::string> names;
    for (const NbtNode& entry : palette->children) {
        const NbtNode* name = entry.Find("Name");
        if (name == nullptr) return Failed("a palette entry without Name");
        std::string text = name->text;
        if (const NbtNode* properties = entry.Find("Properties")) {
            char separator = '[';
            for (const NbtNode& p : properties->children) {
                text += separator + p.name + "=" + p.text;
                separator = ',';
            }
            text += ']';
        }
        names.push_back(text);
    }
    if (names[0] != "minecraft:air") return Failed("palette entry 0 is not air");
    int bits = 2;
    while ((std::size_t{1} << bits) < names.size()) ++bits;
    const std::uint64_t cells = static_cast<std::uint64_t>(file.width * file.height * file.length);
    if (static_cast<std::uint64_t>(states->values.size()) != (cells * static_cast<unsigned>(bits) + 63) / 64)
        return Failed("BlockStates has the wrong number of longs");
    for (std::uint64_t i = 0; i < cells; ++i) {
        std::uint64_t value = 0;
        for (int b = 0; b < bits; ++b) {
            const std::uint64_t bit = i * static_cast<unsigned>(bits) + static_cast<unsigned>(b);
            const auto word = static_cast<std::uint64_t>(states->values[bit / 64]);
            value |= ((word >> (bit % 64)) & 1u) << b;
        }
        if (value >= names.size()) return Failed("a cell outside the palette");
        file.cells.push_back(names[value]);
    }
    return file;
}

}  // namespace tesselbox::testing
