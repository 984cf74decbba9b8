// The command line, parsed: what to do and with which settings, or why the line makes no sense.
#pragma once

#include "convert/ConversionChoice.h"
#include "convert/MapArt.h"
#include "formats/BlockFile.h"

#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace tesselbox::cli {

enum class Command { Help, Version, Convert, Palette };

// Which blocks a command uses: a color table file or a shipped set, then the words that choose.
struct TableChoice {
    std::optional<std::filesystem::path> palette = std::nullopt;  // --palette; neither: the default file
    std::optional<std::string> blocks = std::nullopt;             // --blocks: "modern"
    std::vector<std::string> only;                                // --only, split at commas
    std::vector<std::string> exclude;                             // --exclude
    const GameVersion* gameVersion = nullptr;                     // --mc-version; nullptr: the newest
    bool wall = false;  // --orientation wall: the shipped table's side-face colors, which a wall shows
    friend bool operator==(const TableChoice&, const TableChoice&) = default;
};

struct ConvertOptions {
    std::vector<std::filesystem::path> pictures;
    // -o and --preview: a file (one picture) or an existing folder. No --palette: the default one.
    std::optional<std::filesystem::path> output = std::nullopt;
    std::optional<std::filesystem::path> palette = std::nullopt;
    std::optional<std::filesystem::path> preview = std::nullopt;
    std::optional<std::string> blocks = std::nullopt;  // --blocks, --only, --exclude: see TableChoice
    std::vector<std::string> only = {};
    std::vector<std::string> exclude = {};
    std::optional<std::filesystem::path> materialsCsv = std::nullopt;  // --materials-csv
    bool fit = true;
    bool materials = false;
    ConversionChoice choice = {};  // --match and --dither
    bool quiet = false;
    unsigned jobs = 0;  // pictures at a time; 0: one per processor
    // --format; without it each output's extension decides (and a folder gets .schematic).
    std::optional<BlockFileFormat> format = std::nullopt;
    bool gzip = false;                        // --gzip: a .schematic compressed
    const GameVersion* gameVersion = nullptr;  // --mc-version; nullptr: the newest
    int schemVersion = 2;                     // --schem-version
    const BedrockVersion* bedrockVersion = nullptr;  // --bedrock-version; nullptr: the newest
    Orientation orientation = Orientation::Floor;    // --orientation
    std::uint32_t split = 0;                         // --split; 0: one whole file
    std::optional<MapMode> map = std::nullopt;       // --map: map art instead of block art
    std::uint32_t mapsWide = 1, mapsTall = 1;        // --maps WxH
    std::uint32_t maxHeight = 0;                     // --max-height; 0: the game's build height
    std::optional<std::string> supportBlock = std::nullopt;  // --support-block
    bool mapItem = false;                            // --map-item: map_N.dat beside the output
    friend bool operator==(const ConvertOptions&, const ConvertOptions&) = default;
};

struct PaletteOptions {
    TableChoice table;  // the FILE argument is table.palette
    bool quiet = false;
};

// The table a convert line chooses.
TableChoice TableChoiceOf(const ConvertOptions& options);

struct ParsedArguments {
    Command command = Command::Help;
    ConvertOptions convert;
    PaletteOptions palette;
    std::string usageError;  // non-empty: the line is wrong, nothing is to be done
};

ParsedArguments ParseArguments(std::span<const std::string> args);

}  // namespace tesselbox::cli
