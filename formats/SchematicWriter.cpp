#include "formats/SchematicWriter.h"

#include "fileio/ReplaceFile.h"

#include <array>
#include <string_view>
#include <vector>

namespace tesselbox {

std::uint32_t SwapBytes16(std::uint32_t value) {
    return ((value & 0xFFu) << 8) | ((value >> 8) & 0xFFu);
}

std::uint32_t SwapBytes32(std::uint32_t value) {
    return ((value & 0xFFu) << 24) | ((value & 0xFF00u) << 8) | ((value >> 8) & 0xFF00u) |
           (value >> 24);
}

std::uint64_t SchematicFileSize(std::uint32_t width, std::uint32_t height) {
    return 124 + 2 * std::uint64_t{width} * height;
}

namespace {

constexpr std::uint8_t TAG_END = 0;
constexpr std::uint8_t TAG_SHORT = 2;
constexpr std::uint8_t TAG_BYTE_ARRAY = 7;
constexpr std::uint8_t TAG_STRING = 8;
constexpr std::uint8_t TAG_LIST = 9;
constexpr std::uint8_t TAG_COMPOUND = 10;

class NbtOut {
public:
    explicit NbtOut(std::FILE* stream) : stream_(stream) {}
    bool good() const { return good_; }

    void Bytes(const void* data, std::size_t size) {
        if (good_ && size > 0) good_ = std::fwrite(data, 1, size, stream_) == size;
    }
    void Byte(std::uint8_t value) { Bytes(&value, 1); }
    void Short(std::uint32_t value) {  // the low 16 bits, big-endian
        const std::uint32_t swapped = SwapBytes16(value);
        const std::uint8_t bytes[2] = {static_cast<std::uint8_t>(swapped),
                                       static_cast<std::uint8_t>(swapped >> 8)};
        Bytes(bytes, 2);
    }
    void Int(std::uint32_t value) {  // big-endian
        const std::uint32_t swapped = SwapBytes32(value);
        const std::uint8_t bytes[4] = {
            static_cast<std::uint8_t>(swapped), static_cast<std::uint8_t>(swapped >> 8),
            static_cast<std::uint8_t>(swapped >> 16), static_cast<std::uint8_t>(swapped >> 24)};
        Bytes(bytes, 4);
    }
    void Tag(std::uint8_t type, std::string_view name) {
        Byte(type);
        Short(static_cast<std::uint32_t>(name.size()));
        Bytes(name.data(), name.size());
    }

private:
    std::FILE* stream_;
    bool good_ = true;
};

// One byte per cell, top picture row first: the grid's memory rows walked backwards.
template <typename CellByte>
void WriteCells(NbtOut& out, const SchematicSource& source, CellByte cellByte) {
    std::vector<std::uint8_t> row(source.width);
    for (std::uint32_t y = source.height; y-- > 0;) {
        const std::int32_t* cells = source.blockGrid + std::size_t{y} * source.width;
        for (std::uint32_t x = 0; x < source.width; ++x) {
            const std::int32_t entry = cells[x];
            row[x] = entry == NO_BLOCK ? 0 : cellByte(static_cast<std::size_t>(entry));
        }
        out.Bytes(row.data(), row.size());
    }
}

}  // namespace

bool WriteSchematicStream(std::FILE* stream, const SchematicSource& source) {
    if (source.width > MAX_PICTURE_SIDE || source.height > MAX_PICTURE_SIDE) return false;
    const std::uint32_t cells = source.width * source.height;
    NbtOut out(stream);
    out.Tag(TAG_COMPOUND, "Schematic");
    out.Tag(TAG_SHORT, "Height");
    out.Short(1);
    out.Tag(TAG_SHORT, "Length");
    out.Short(source.height);
    out.Tag(TAG_SHORT, "Width");
    out.Short(source.width);
    for (std::string_view list : {std::string_view("Entities"), std::string_view("TileEntities")}) {
        out.Tag(TAG_LIST, list);
        out.Byte(TAG_COMPOUND);
        out.Int(0);
    }
    out.Tag(TAG_STRING, "Materials");
    out.Short(5);
    out.Bytes("Alpha", 5);
    const ColorTable& table = *source.table;
    out.Tag(TAG_BYTE_ARRAY, "Blocks");
    out.Int(cells);
    if (cells > 0) WriteCells(out, source, [&](std::size_t i) { return table.blockIds[i]; });
    out.Tag(TAG_BYTE_ARRAY, "Data");
    out.Int(cells);
    if (cells > 0) WriteCells(out, source, [&](std::size_t i) { return table.blockData[i]; });
    out.Byte(TAG_END);
    return out.good();
}

SchematicOutcome WriteSchematicFile(const std::filesystem::path& path, const SchematicSource& source) {
    if (source.width > MAX_PICTURE_SIDE || source.height > MAX_PICTURE_SIDE) {
        return {SchematicStatus::TooLarge,
                "a schematic side may be at most " + std::to_string(MAX_PICTURE_SIDE) +
                    " blocks; this picture is " + std::to_string(source.width) + " x " +
                    std::to_string(source.height)};
    }
    const WriteOutcome written = ReplaceFile(
        path, [&](std::FILE* stream) { return WriteSchematicStream(stream, source); });
    switch (written.status) {
        case WriteStatus::Ok: return {};
        case WriteStatus::OpenFailed: return {SchematicStatus::OpenFailed, written.message};
        case WriteStatus::WriteFailed: break;
    }
    return {SchematicStatus::WriteFailed, written.message};
}

}  // namespace tesselbox
