// Fuzzes the block file writers: a format, game version, sizes (small grids, or one long side with
// no cells), a table of up to MAX_COLORS entries (known blocks, or now and then one without a
// name) and a grid, all drawn from the input. Each file is read back by our own NBT reader and
// compared cell by cell; the .schematic stream is compared with the plain writer's bytes, and a
// gzip pass must inflate to the same bytes.
#include "fuzz/ByteSource.h"
#include "formats/BlockFile.h"
#include "tests/support/BlockFileReading.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

namespace {

using namespace tesselbox;

[[noreturn]] void Fail(const char* what, const std::string& detail = {}) {
    std::fprintf(stderr, "block file check failed: %s %s\n", what, detail.c_str());
    std::abort();
}

using tesselbox::fuzzing::ByteSource;

std::string PlainSchematic(const BlockFileSource& source) {
    char* buffer = nullptr;
    std::size_t size = 0;
    std::FILE* stream = open_memstream(&buffer, &size);
    if (stream == nullptr) Fail("open_memstream");
    if (!WriteSchematicStream(stream, source)) Fail("the plain writer failed");
    std::fclose(stream);
    std::string bytes(buffer, size);
    std::free(buffer);
    return bytes;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    ByteSource input(data, size);
    BlockFileOptions options;
    switch (input.InRange(0, 3)) {
        case 0: options.format = BlockFileFormat::Schematic; break;
        case 1: options.format = BlockFileFormat::Schem; options.schemVersion = 2; break;
        case 2: options.format = BlockFileFormat::Schem; options.schemVersion = 3; break;
        default: options.format = BlockFileFormat::Litematic; break;
    }
    const auto versions = SupportedGameVersions();
    options.gameVersion = &versions[static_cast<std::size_t>(input.InRange(0, static_cast<std::int64_t>(versions.size()) - 1))];
    options.timeMillis = 0;

    const auto [width, height] = tesselbox::fuzzing::SomeGridSize(input);

    auto table = std::make_unique<ColorTable>();
    table->count = static_cast<std::int32_t>(input.InRange(1, MAX_COLORS));
    bool unnamed = false;
    for (std::size_t i = 0; i < static_cast<std::size_t>(table->count); ++i) {
        auto id = static_cast<std::uint8_t>(input.InRange(0, 255));
        auto value = static_cast<std::uint8_t>(input.InRange(0, 15));
        if (LegacyBlockState(id, value).empty()) {
            if (input.InRange(0, 15) == 0) {
                unnamed = true;  // keep it: the modern formats must refuse the table
            } else {
                value = 0;
                if (LegacyBlockState(id, value).empty()) id = 1;
            }
        }
        table->blockIds[i] = id;
        table->blockData[i] = value;
        table->colors[i] = static_cast<Pixel>(input.InRange(0, 0xFFFFFF));
    }
    std::vector<std::int32_t> grid(std::size_t{width} * height);
    for (std::int32_t& cell : grid) cell = static_cast<std::int32_t>(input.InRange(NO_BLOCK, table->count - 1));
    const BlockFileSource source{width, height, grid.data(), table.get()};

    std::string bytes;
    const std::unique_ptr<ByteSink> sink = MakeMemorySink(bytes);
    const BlockFileOutcome outcome = WriteBlockNbt(*sink, source, options);
    if (!sink->Finish()) Fail("the memory sink failed");

    const std::uint32_t sideLimit = options.format == BlockFileFormat::Schematic ? MAX_PICTURE_SIDE
                                    : options.format == BlockFileFormat::Schem   ? 65535
                                                                                 : 0xFFFFFFFFu;
    const bool tooLarge = width > sideLimit || height > sideLimit;
    const bool modern = options.format != BlockFileFormat::Schematic;
    const bool refused = tooLarge || (modern && (unnamed || width == 0 || height == 0));
    if (refused) {
        if (outcome.ok() || !bytes.empty() || outcome.message.empty()) Fail("a refusal must write nothing and say why");
        return 0;
    }
    if (!outcome.ok()) Fail("write failed", outcome.message);

    if (options.format == BlockFileFormat::Schematic) {
        if (bytes != PlainSchematic(source)) Fail("the .schematic stream differs from the plain writer's");
    } else {
        std::string error;
        const testing::NbtNode root = testing::ReadNbt(bytes, error);
        if (!error.empty()) Fail("NBT", error);
        const testing::DecodedFile file =
            options.format == BlockFileFormat::Schem ? testing::DecodeSchem(root) : testing::DecodeLitematic(root);
        if (!file.error.empty()) Fail("decoding", file.error);
        if (file.width != width || file.height != 1 || file.length != height) Fail("sizes");
        if (file.dataVersion != options.gameVersion->dataVersion) Fail("DataVersion");
        if (file.cells != testing::ExpectedCells(source, *options.gameVersion)) Fail("cells");
    }

    // The gzip sink: small inputs only, to keep the fuzzer fast.
    if (bytes.size() < 20000) {
        char* buffer = nullptr;
        std::size_t compressedSize = 0;
        std::FILE* stream = open_memstream(&buffer, &compressedSize);
        if (stream == nullptr) Fail("open_memstream");
        {
            const std::unique_ptr<ByteSink> gzip = MakeGzipSink(stream);
            gzip->Write(bytes.data(), bytes.size());
            if (!gzip->Finish()) Fail("gzip", gzip->error());
        }
        std::fclose(stream);
        std::string inflated;
        const bool whole = testing::Gunzip(std::string_view(buffer, compressedSize), inflated);
        std::free(buffer);
        if (!whole || inflated != bytes) Fail("gzip does not inflate to the same bytes");
    }
    return 0;
}
