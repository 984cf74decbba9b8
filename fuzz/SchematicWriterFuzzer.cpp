// Fuzzes the schematic writer: random small grids and tables, and sides up to past the NBT limit
// with no cells, written to memory and read back by our small NBT reader (tests/support).
#include "fuzz/ByteSource.h"
#include "formats/SchematicWriter.h"
#include "tests/support/NbtReader.h"

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

using tesselbox::fuzzing::ByteSource;

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

void ExpectTag(const tesselbox::testing::NbtNode& tag, std::uint8_t type, std::string_view name) {
    if (tag.type != type || tag.name != name) Fail("tag order, type or name");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    ByteSource input(data, size);

    const auto [width, height] = tesselbox::fuzzing::SomeGridSize(input);

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

    std::string error;
    const tesselbox::testing::NbtNode root = tesselbox::testing::ReadNbt(written.bytes, error);
    if (!error.empty()) Fail(error.c_str());
    ExpectTag(root, 10, "Schematic");
    if (root.children.size() != 8) Fail("the root holds eight tags");
    const std::vector<tesselbox::testing::NbtNode>& tags = root.children;
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
    for (const tesselbox::testing::NbtNode* list : {&tags[3], &tags[4]}) {
        if (list->elementType != 10 || !list->children.empty()) Fail("entity lists");
    }
    if (tags[5].text != "Alpha") Fail("Materials");

    // Cell (x, z), z from the top row, comes from grid row height - 1 - z.
    const std::vector<std::int64_t>& blocks = tags[6].values;
    const std::vector<std::int64_t>& blockData = tags[7].values;
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
