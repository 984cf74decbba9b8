// Writes one file of each format, gzip state, .schem version and a few game versions into a
// folder, with manifest.json saying what each must hold; check-block-files.js then reads them
// with an NBT reader from npm that shares no code with ours.
#include "formats/BlockFile.h"
#include "tests/support/BlockFileReading.h"

#include <cstdio>
#include <fstream>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace {

using namespace tesselbox;

std::string Quoted(const std::string& text) { return "\"" + text + "\""; }  // our strings need no escapes

struct Sample {
    std::string name;
    const ColorTable* table;
    std::uint32_t width, height;
    std::vector<std::int32_t> grid;
};

// A grid using every entry and air, in a pattern that differs along both axes.
Sample MakeSample(std::string name, const ColorTable& table, std::uint32_t width, std::uint32_t height) {
    Sample sample{std::move(name), &table, width, height, {}};
    for (std::uint32_t y = 0; y < height; ++y) {
        for (std::uint32_t x = 0; x < width; ++x) {
            sample.grid.push_back(static_cast<std::int32_t>((x * 5 + y * 11) % static_cast<std::uint32_t>(table.count + 1)) - 1);
        }
    }
    return sample;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: write_block_file_samples COLORS.TXT FOLDER\n");
        return 2;
    }
    const std::string folder = argv[2];
    static ColorTable colors;
    if (!LoadColorTableFile(argv[1], colors).ok()) {
        std::fprintf(stderr, "cannot read %s\n", argv[1]);
        return 1;
    }
    // Three hundred distinct blocks: two-byte varints and nine bits a Litematica entry.
    static ColorTable wide;
    std::set<std::string> seen;
    for (int id = 1; id < 256 && wide.count < 300; ++id) {
        for (int data = 0; data < 16 && wide.count < 300; ++data) {
            const std::string_view state = LegacyBlockState(static_cast<std::uint8_t>(id), static_cast<std::uint8_t>(data));
            if (state.empty() || !seen.insert(std::string(state.substr(0, state.find('[')))).second) continue;
            wide.blockIds[static_cast<std::size_t>(wide.count)] = static_cast<std::uint8_t>(id);
            wide.blockData[static_cast<std::size_t>(wide.count++)] = static_cast<std::uint8_t>(data);
        }
    }
    // "large" is over 1 MiB of NBT in every format, so its gzip stream joins pieces deflated apart.
    const std::vector<Sample> samples = {MakeSample("colors", colors, 37, 23), MakeSample("wide", wide, 31, 29),
                                         MakeSample("large", wide, 1000, 1000)};

    std::string manifest = "[\n";
    int written = 0;
    const auto add = [&](const Sample& sample, const BlockFileOptions& options, const std::string& file) {
        const BlockFileSource source{sample.width, sample.height, sample.grid.data(), sample.table};
        const BlockFileOutcome outcome = WriteBlockFile(folder + "/" + file, source, options);
        if (!outcome.ok()) {
            std::fprintf(stderr, "%s: %s\n", file.c_str(), outcome.message.c_str());
            std::exit(1);
        }
        const GameVersion& version = options.gameVersion ? *options.gameVersion : NewestGameVersion();
        std::string entry = std::string(written++ ? ",\n" : "") + "{\"file\": " + Quoted(file) +
                            ", \"format\": " + Quoted(std::string(FormatExtension(options.format)).substr(1)) +
                            ", \"gzip\": " + (options.gzip || options.format != BlockFileFormat::Schematic ? "true" : "false") +
                            ", \"schemVersion\": " + std::to_string(options.schemVersion) +
                            ", \"dataVersion\": " + std::to_string(version.dataVersion) +
                            ", \"litematicaVersion\": " + std::to_string(version.litematicaVersion) +
                            ", \"width\": " + std::to_string(sample.width) + ", \"length\": " + std::to_string(sample.height);
        if (options.format == BlockFileFormat::Schematic) {
            std::string ids, values;
            for (std::uint32_t z = 0; z < sample.height; ++z) {
                for (std::uint32_t x = 0; x < sample.width; ++x) {
                    const std::int32_t cell = sample.grid[std::size_t{sample.height - 1 - z} * sample.width + x];
                    const auto i = static_cast<std::size_t>(cell);
                    if (!ids.empty()) ids += ',', values += ',';
                    ids += std::to_string(cell == NO_BLOCK ? 0 : sample.table->blockIds[i]);
                    values += std::to_string(cell == NO_BLOCK ? 0 : sample.table->blockData[i]);
                }
            }
            entry += ", \"blocks\": [" + ids + "], \"data\": [" + values + "]";
        } else {
            // Each distinct state once, and the cells as indices into that list.
            std::map<std::string, std::size_t> indexOf;
            std::string names, cells;
            for (const std::string& state : testing::ExpectedCells(source, version)) {
                const auto [at, added] = indexOf.emplace(state, indexOf.size());
                if (added) {
                    if (!names.empty()) names += ',';
                    names += Quoted(state);
                }
                if (!cells.empty()) cells += ',';
                cells += std::to_string(at->second);
            }
            entry += ", \"names\": [" + names + "], \"cells\": [" + cells + "]";
        }
        manifest += entry + "}";
    };

    for (const Sample& sample : samples) {
        if (sample.name == "large") {
            BlockFileOptions options;
            options.gzip = true;
            add(sample, options, "large-gzip.schematic");
            options.format = BlockFileFormat::Schem;
            options.schemVersion = 3;
            add(sample, options, "large.schem");
            options.format = BlockFileFormat::Litematic;
            add(sample, options, "large.litematic");
            continue;
        }
        if (sample.table == &colors) {
            for (const bool gzip : {false, true}) {
                BlockFileOptions options;
                options.gzip = gzip;
                add(sample, options, sample.name + (gzip ? "-gzip" : "") + ".schematic");
            }
        }
        for (const GameVersion* version : {&SupportedGameVersions().front(), FindGameVersion("1.20.4"), &NewestGameVersion()}) {
            std::string suffix = "-";
            suffix += version->name;
            for (const int schemVersion : {2, 3}) {
                BlockFileOptions options;
                options.format = BlockFileFormat::Schem;
                options.gameVersion = version;
                options.schemVersion = schemVersion;
                add(sample, options, sample.name + suffix + "-v" + std::to_string(schemVersion) + ".schem");
            }
            BlockFileOptions options;
            options.format = BlockFileFormat::Litematic;
            options.gameVersion = version;
            options.name = sample.name;
            add(sample, options, sample.name + suffix + ".litematic");
        }
    }
    std::ofstream(folder + "/manifest.json") << manifest << "\n]\n";
    std::printf("wrote %d files into %s\n", written, folder.c_str());
    return 0;
}
