// Fuzzes the schematic writer: random small grids and tables, and sides up to past the NBT limit
// with no cells, written to memory and read back by a small NBT reader of its own.
#include "formats/SchematicWriter.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace {

using tesselbox::NO_BLOCK;

[[noreturn]] void Fail(const char* what) {
    std::fprintf(stderr, "schematic check failed: %s\n", what);
    std::abort();
}

// ---- A small NBT reader: enough of the format to see every tag the writer could put out ------

struct Tag {
    std::uint8_t type = 0;
    std::string name;
    std::int64_t number = 0;               // Byte, Short, Int, Long
    std::string text;                      // String
    std::vector<std::uint8_t> bytes;       // Byte_Array
    std::uint8_t elementType = 0;          // List
    std::vector<Tag> children;             // List elements (unnamed) or Compound members
};

class NbtReader {
public:
    explicit NbtReader(std::string_view bytes) : bytes_(bytes) {}
    std::size_t at() const { return at_; }

    Tag Named() {
        Tag tag;
        tag.type = Unsigned(1);
        if (tag.type != 0) {
            tag.name = Text();
            Payload(tag, 0);
        }
        return tag;
    }

private:
    std::uint64_t Unsigned(int size) {  // big-endian
        if (bytes_.size() - at_ < static_cast<std::size_t>(size)) Fail("file ends inside a tag");
        std::uint64_t value = 0;
        for (int i = 0; i < size; ++i) value = value << 8 | static_cast<std::uint8_t>(bytes_[at_++]);
        return value;
    }
    std::int64_t Signed(int size) {
        const std::uint64_t value = Unsigned(size);
        const int unused = 64 - 8 * size;
        return static_cast<std::int64_t>(value << unused) >> unused;
    }
    std::string Text() {
        const std::size_t length = Unsigned(2);
        if (bytes_.size() - at_ < length) Fail("file ends inside a string");
        std::string text(bytes_.substr(at_, length));
        at_ += length;
        return text;
    }
    void Payload(Tag& tag, int depth) {
        if (depth > 16) Fail("nesting too deep");
        switch (tag.type) {
            case 1: tag.number = Signed(1); break;
            case 2: tag.number = Signed(2); break;
            case 3: tag.number = Signed(4); break;
            case 4: tag.number = Signed(8); break;
            case 7: {
                const std::int64_t length = Signed(4);
                if (length < 0 || bytes_.size() - at_ < static_cast<std::uint64_t>(length))
                    Fail("byte array length");
                tag.bytes.assign(bytes_.begin() + static_cast<std::ptrdiff_t>(at_),
                                 bytes_.begin() + static_cast<std::ptrdiff_t>(at_ + length));
                at_ += static_cast<std::size_t>(length);
                break;
            }
            case 8: tag.text = Text(); break;
            case 9: {
                tag.elementType = static_cast<std::uint8_t>(Unsigned(1));
                const std::int64_t count = Signed(4);
                if (count < 0) Fail("negative list length");
                for (std::int64_t i = 0; i < count; ++i) {
                    Tag element;
                    element.type = tag.elementType;
                    Payload(element, depth + 1);
                    tag.children.push_back(std::move(element));
                }
                break;
            }
            case 10:
                for (Tag member = Named(); member.type != 0; member = Named())
                    tag.children.push_back(std::move(member));
                break;
            default: Fail("unknown tag type");
        }
    }

    std::string_view bytes_;
    std::size_t at_ = 0;
};

// Numbers from the input's bytes, front to back; zeros once it is used up.
class ByteSource {
public:
    ByteSource(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    // A number in [low, high], from as few bytes as the range needs.
    std::int64_t InRange(std::int64_t low, std::int64_t high) {
        const auto span = static_cast<std::uint64_t>(high - low);
        std::uint64_t value = 0;
        for (std::uint64_t covered = 0; covered < span; covered = covered << 8 | 0xFF) {
            value = value << 8 | (at_ < size_ ? data_[at_++] : 0);
        }
        return low + static_cast<std::int64_t>(span == 0 ? 0 : value % (span + 1));
    }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t at_ = 0;
};

// ---- The target --------------------------------------------------------------------------------

struct Written {
    bool ok = false;
    std::string bytes;
};

Written WriteToMemory(const tesselbox::SchematicSource& source) {
    char* buffer = nullptr;
    std::size_t size = 0;
    std::FILE* stream = open_memstream(&buffer, &size);
    if (stream == nullptr) Fail("open_memstream");
    Written written;
    written.ok = tesselbox::WriteSchematicStream(stream, source);
    std::fclose(stream);
    written.bytes.assign(buffer, size);
    std::free(buffer);
    return written;
}

void ExpectTag(const Tag& tag, std::uint8_t type, std::string_view name) {
    if (tag.type != type || tag.name != name) Fail("tag order, type or name");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    ByteSource input(data, size);

    // Either a small grid, or one long side with no cells at all (the grid is then never read).
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    switch (input.InRange(0, 2)) {
        case 0:
            width = static_cast<std::uint32_t>(input.InRange(0, 40));
            height = static_cast<std::uint32_t>(input.InRange(0, 40));
            break;
        case 1: width = static_cast<std::uint32_t>(input.InRange(0, 70000)); break;
        default: height = static_cast<std::uint32_t>(input.InRange(0, 70000)); break;
    }

    auto table = std::make_unique<tesselbox::ColorTable>();
    table->count = static_cast<std::int32_t>(input.InRange(1, tesselbox::MAX_COLORS));
    for (std::size_t i = 0; i < static_cast<std::size_t>(table->count); ++i) {
        table->blockIds[i] = static_cast<std::uint8_t>(input.InRange(0, 255));
        table->blockData[i] = static_cast<std::uint8_t>(input.InRange(0, 255));
    }
    const std::size_t cells = std::size_t{width} * height;
    std::vector<std::int32_t> grid(cells);
    for (std::int32_t& cell : grid) {
        cell = static_cast<std::int32_t>(input.InRange(NO_BLOCK, table->count - 1));
    }

    const Written written = WriteToMemory({width, height, grid.data(), table.get()});
    const bool fits = width <= tesselbox::MAX_PICTURE_SIDE && height <= tesselbox::MAX_PICTURE_SIDE;
    if (!fits) {
        if (written.ok || !written.bytes.empty()) Fail("an oversized side must write nothing");
        return 0;
    }
    if (!written.ok) Fail("writing to memory failed");
    if (written.bytes.size() != 124 + 2 * cells) Fail("file size is not 124 + 2N");
    if (tesselbox::SchematicFileSize(width, height) != written.bytes.size()) Fail("SchematicFileSize");

    NbtReader reader(written.bytes);
    const Tag root = reader.Named();
    if (reader.at() != written.bytes.size()) Fail("bytes after the root compound");
    ExpectTag(root, 10, "Schematic");
    if (root.children.size() != 8) Fail("the root holds eight tags");
    const std::vector<Tag>& tags = root.children;
    ExpectTag(tags[0], 2, "Height");
    ExpectTag(tags[1], 2, "Length");
    ExpectTag(tags[2], 2, "Width");
    ExpectTag(tags[3], 9, "Entities");
    ExpectTag(tags[4], 9, "TileEntities");
    ExpectTag(tags[5], 8, "Materials");
    ExpectTag(tags[6], 7, "Blocks");
    ExpectTag(tags[7], 7, "Data");
    if (tags[0].number != 1 || tags[1].number != height || tags[2].number != width)
        Fail("Height, Length or Width");
    for (const Tag* list : {&tags[3], &tags[4]}) {
        if (list->elementType != 10 || !list->children.empty()) Fail("entity lists");
    }
    if (tags[5].text != "Alpha") Fail("Materials");

    // Cell (x, z), z from the top row, comes from grid row height - 1 - z.
    const std::vector<std::uint8_t>& blocks = tags[6].bytes;
    const std::vector<std::uint8_t>& blockData = tags[7].bytes;
    if (blocks.size() != cells || blockData.size() != cells) Fail("array lengths");
    for (std::uint32_t z = 0; z < height; ++z) {
        for (std::uint32_t x = 0; x < width; ++x) {
            const std::size_t file = std::size_t{z} * width + x;
            const std::int32_t entry = grid[std::size_t{height - 1 - z} * width + x];
            const auto i = static_cast<std::size_t>(entry);
            const std::uint8_t block = entry == NO_BLOCK ? 0 : table->blockIds[i];
            const std::uint8_t value = entry == NO_BLOCK ? 0 : table->blockData[i];
            if (blocks[file] != block || blockData[file] != value) Fail("cell");
        }
    }
    return 0;
}
