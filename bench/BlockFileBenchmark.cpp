// Writing a 4000 x 3000 block grid, and a 300 x 300 one (the window's size), in each format, against
// the plain .schematic in the same run. The grid is smooth patches over 1000 blocks that every
// Java version and the newest Bedrock name, with some transparency, like converted art.
#include "formats/BlockFile.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace {

using namespace tesselbox;

constexpr std::uint32_t WIDTH = 4000;
constexpr std::uint32_t HEIGHT = 3000;
constexpr std::uint32_t SMALL = 300;

struct Fixture {
    ColorTable table;
    std::vector<std::int32_t> grid;
    std::vector<std::int32_t> small;  // SMALL x SMALL from the middle of grid
    std::filesystem::path folder;

    Fixture() {
        const BedrockVersion& bedrock = NewestBedrockVersion();
        const GameVersion& java = *FindGameVersion(bedrock.javaVersion);
        for (int id = 1; id < 256 && table.count < 1000; ++id) {
            for (int data = 0; data < 16 && table.count < 1000; ++data) {
                BlockState state;
                BedrockState bedrockState;
                if (!BlockStateFor(static_cast<std::uint8_t>(id), static_cast<std::uint8_t>(data), java, state) ||
                    !BedrockStateFor(state, bedrock, bedrockState)) {
                    continue;
                }
                const auto i = static_cast<std::size_t>(table.count++);
                table.blockIds[i] = static_cast<std::uint8_t>(id);
                table.blockData[i] = static_cast<std::uint8_t>(data);
                table.colors[i] = 0xFF000000u | static_cast<Pixel>(i * 0x010307u);
            }
        }
        grid.resize(std::size_t{WIDTH} * HEIGHT);
        std::uint64_t state = 20261207;
        for (std::uint32_t y = 0; y < HEIGHT; ++y) {
            for (std::uint32_t x = 0; x < WIDTH; ++x) {
                state = state * 6364136223846793005ull + 1442695040888963407ull;
                // Patches of 8 x 8 with one cell in 32 off by a little, and a transparent band.
                const auto patch = static_cast<std::int32_t>(((x / 8) * 131 + (y / 8) * 71) % 1000);
                const auto jitter = static_cast<std::int32_t>((state >> 59) == 0 ? (state >> 40) % 7 : 0);
                grid[std::size_t{y} * WIDTH + x] = x < 200 ? NO_BLOCK : (patch + jitter) % table.count;
            }
        }
        for (std::uint32_t y = 0; y < SMALL; ++y) {
            const auto* row = grid.data() + std::size_t{HEIGHT / 2 + y} * WIDTH + WIDTH / 2;
            small.insert(small.end(), row, row + SMALL);
        }
        folder = std::filesystem::temp_directory_path() / "tesselbox-block-file-bench";
        std::filesystem::create_directories(folder);
    }
    ~Fixture() { std::filesystem::remove_all(folder); }
};

Fixture& Shared() {
    static Fixture fixture;
    return fixture;
}

void Write(benchmark::State& state, BlockFileFormat format, bool gzip, int schemVersion, bool small) {
    Fixture& fixture = Shared();
    BlockFileOptions options;
    options.format = format;
    options.gzip = gzip;
    options.schemVersion = schemVersion;
    const std::filesystem::path path = fixture.folder / ("out" + std::string(FormatExtension(format)));
    for (auto _ : state) {
        const BlockFileOutcome outcome =
            small ? WriteBlockFile(path, {SMALL, SMALL, fixture.small.data(), &fixture.table}, options)
                  : WriteBlockFile(path, {WIDTH, HEIGHT, fixture.grid.data(), &fixture.table}, options);
        if (!outcome.ok()) state.SkipWithError(outcome.message.c_str());
    }
    state.counters["MiB"] = static_cast<double>(std::filesystem::file_size(path)) / (1 << 20);
}

#define TESSELBOX_WRITE(name, ...)                                                                     \
    BENCHMARK_CAPTURE(Write, name, __VA_ARGS__, false)->Unit(benchmark::kMillisecond)->UseRealTime(); \
    BENCHMARK_CAPTURE(Write, name##_300, __VA_ARGS__, true)->Unit(benchmark::kMillisecond)->UseRealTime()
TESSELBOX_WRITE(schematic, BlockFileFormat::Schematic, false, 2);
TESSELBOX_WRITE(schematic_gzip, BlockFileFormat::Schematic, true, 2);
TESSELBOX_WRITE(schem_v2, BlockFileFormat::Schem, false, 2);
TESSELBOX_WRITE(schem_v3, BlockFileFormat::Schem, false, 3);
TESSELBOX_WRITE(litematic, BlockFileFormat::Litematic, false, 2);
TESSELBOX_WRITE(nbt, BlockFileFormat::Nbt, false, 2);
TESSELBOX_WRITE(mcstructure, BlockFileFormat::McStructure, false, 2);

}  // namespace

BENCHMARK_MAIN();
