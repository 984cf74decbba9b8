#include "cli/Options.h"

#include "palette/BlockChoice.h"

#include <charconv>
#include <initializer_list>
#include <utility>
#include <string_view>

namespace tesselbox::cli {
namespace {

// Walks the arguments of one command: "--name=value", "--name value", "-o value", "-ovalue".
class ArgumentWalk {
public:
    explicit ArgumentWalk(std::span<const std::string> args) : args_(args) {}

    bool Done() const { return at_ >= args_.size(); }
    const std::string& Next() { return args_[at_++]; }

    // For an option that takes a value: the value from "--name=value" or the following argument.
    std::optional<std::string> Value(std::string_view argument, std::string_view name,
                                     std::string& error) {
        std::optional<std::string> value;
        if (argument.size() > name.size() && argument[name.size()] == '=') {
            value = std::string(argument.substr(name.size() + 1));
        } else if (name.size() == 2 && argument.size() > 2) {  // -ovalue
            value = std::string(argument.substr(2));
        } else if (!Done()) {
            value = Next();
        }
        if (!value || value->empty()) {
            error = std::string(name) + " needs a value";
            return std::nullopt;
        }
        return value;
    }

private:
    std::span<const std::string> args_;
    std::size_t at_ = 0;
};

// True when argument is the option name, alone or as "name=..." (or "-oVALUE" for a short one).
bool Names(std::string_view argument, std::string_view name) {
    if (!argument.starts_with(name)) return false;
    if (argument.size() == name.size()) return true;
    if (name.size() == 2) return true;  // short option with its value attached
    return argument[name.size()] == '=';
}

bool IsOption(std::string_view argument) { return argument.size() > 1 && argument[0] == '-'; }

// The value that `text` names among `names`, if any.
template <typename T>
std::optional<T> Named(std::string_view text, std::initializer_list<std::pair<std::string_view, T>> names) {
    for (const auto& [name, value] : names) {
        if (name == text) return value;
    }
    return std::nullopt;
}

std::optional<std::uint32_t> ParseSplit(const std::string& text) {
    std::uint32_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || value < 1 || value > MAX_PICTURE_SIDE) {
        return std::nullopt;
    }
    return value;
}

// "WxH", each from 1 to MAX_MAPS_A_SIDE.
constexpr std::uint32_t MAX_MAPS_A_SIDE = 32;
bool ParseMaps(const std::string& text, std::uint32_t& wide, std::uint32_t& tall) {
    const char* end = text.data() + text.size();
    const auto [x, wideError] = std::from_chars(text.data(), end, wide);
    if (wideError != std::errc() || x == end || (*x != 'x' && *x != 'X')) return false;
    const auto [last, tallError] = std::from_chars(x + 1, end, tall);
    return tallError == std::errc() && last == end && wide >= 1 && tall >= 1 && wide <= MAX_MAPS_A_SIDE &&
           tall <= MAX_MAPS_A_SIDE;
}

std::optional<unsigned> ParseJobs(const std::string& text) {
    unsigned value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || value < 1 || value > 256) {
        return std::nullopt;
    }
    return value;
}

// --blocks, --only, --exclude, --mc-version: shared by convert and palette. False when the argument
// is none of them.
bool ParseTableOption(const std::string& argument, ArgumentWalk& walk, std::optional<std::string>& blocks,
                      std::vector<std::string>& only, std::vector<std::string>& exclude,
                      const GameVersion*& gameVersion, std::string& error) {
    if (Names(argument, "--blocks")) {
        if (auto value = walk.Value(argument, "--blocks", error)) {
            if (*value == "modern") blocks = *value;
            else error = "--blocks takes modern (the shipped table), not \"" + *value + "\"; --palette FILE reads a file";
        }
    } else if (Names(argument, "--only") || Names(argument, "--exclude")) {
        const bool isOnly = Names(argument, "--only");
        if (auto value = walk.Value(argument, isOnly ? "--only" : "--exclude", error)) {
            for (std::string& word : SplitWords(*value)) (isOnly ? only : exclude).push_back(std::move(word));
        }
    } else if (Names(argument, "--mc-version")) {
        if (auto value = walk.Value(argument, "--mc-version", error)) {
            gameVersion = FindGameVersion(*value);
            if (gameVersion == nullptr) {
                error = "--mc-version " + *value + " is not one of " + SupportedGameVersionList();
            }
        }
    } else {
        return false;
    }
    return true;
}

void ParseConvert(std::span<const std::string> args, ParsedArguments& parsed) {
    ConvertOptions& options = parsed.convert;
    ArgumentWalk walk(args);
    bool optionsEnded = false;
    std::string& error = parsed.usageError;
    while (!walk.Done() && error.empty()) {
        const std::string& argument = walk.Next();
        if (optionsEnded || !IsOption(argument)) {
            options.pictures.emplace_back(argument);
        } else if (argument == "--") {
            optionsEnded = true;
        } else if (argument == "-h" || argument == "--help") {
            parsed.command = Command::Help;
            return;
        } else if (argument == "--fit") {
            options.fit = true;
        } else if (argument == "--no-fit") {
            options.fit = false;
        } else if (argument == "--materials") {
            options.materials = true;
        } else if (argument == "-q" || argument == "--quiet") {
            options.quiet = true;
        } else if (Names(argument, "-o") || Names(argument, "--output")) {
            const bool isShort = !argument.starts_with("--");
            if (auto value = walk.Value(argument, isShort ? "-o" : "--output", error)) {
                options.output = *value;
            }
        } else if (Names(argument, "--palette")) {
            if (auto value = walk.Value(argument, "--palette", error)) options.palette = *value;
        } else if (Names(argument, "--preview")) {
            if (auto value = walk.Value(argument, "--preview", error)) options.preview = *value;
        } else if (Names(argument, "--match")) {
            if (auto value = walk.Value(argument, "--match", error)) {
                if (const auto match =
                        Named<MatchMode>(*value, {{"rgb", MatchMode::Rgb}, {"perceptual", MatchMode::Perceptual}})) {
                    options.choice.match = *match;
                } else {
                    error = "--match takes rgb or perceptual, not \"" + *value + "\"";
                }
            }
        } else if (Names(argument, "--dither")) {
            if (auto value = walk.Value(argument, "--dither", error)) {
                if (const auto dither = Named<DitherMode>(*value, {{"none", DitherMode::None},
                                                                   {"floyd-steinberg", DitherMode::FloydSteinberg},
                                                                   {"ordered", DitherMode::Ordered}})) {
                    options.choice.dither = *dither;
                } else {
                    error = "--dither takes none, floyd-steinberg or ordered, not \"" + *value + "\"";
                }
            }
        } else if (argument == "--refine") {
            options.choice.refine = true;
        } else if (argument == "--gzip") {
            options.gzip = true;
        } else if (Names(argument, "--format")) {
            if (auto value = walk.Value(argument, "--format", error)) {
                options.format = FormatFromName(*value);
                if (!options.format) {
                    error = "--format is schematic, schem, litematic, nbt or mcstructure, not \"" + *value + "\"";
                }
            }
        } else if (Names(argument, "--bedrock-version")) {
            if (auto value = walk.Value(argument, "--bedrock-version", error)) {
                options.bedrockVersion = FindBedrockVersion(*value);
                if (options.bedrockVersion == nullptr) {
                    error = "--bedrock-version " + *value + " is not one of " + SupportedBedrockVersionList();
                }
            }
        } else if (Names(argument, "--orientation")) {
            if (auto value = walk.Value(argument, "--orientation", error)) {
                if (const auto orientation =
                        Named<Orientation>(*value, {{"floor", Orientation::Floor}, {"wall", Orientation::Wall}})) {
                    options.orientation = *orientation;
                } else {
                    error = "--orientation is floor or wall, not \"" + *value + "\"";
                }
            }
        } else if (Names(argument, "--split")) {
            if (auto value = walk.Value(argument, "--split", error)) {
                if (const auto side = ParseSplit(*value)) {
                    options.split = *side;
                } else {
                    error = "--split takes a number of blocks from 1 to " + std::to_string(MAX_PICTURE_SIDE) + ", not \"" +
                            *value + "\"";
                }
            }
        } else if (ParseTableOption(argument, walk, options.blocks, options.only, options.exclude,
                                    options.gameVersion, error)) {
        } else if (Names(argument, "--maps")) {
            if (auto value = walk.Value(argument, "--maps", error)) {
                if (!ParseMaps(*value, options.mapsWide, options.mapsTall)) {
                    error = "--maps takes WIDTHxHEIGHT in maps, each from 1 to " + std::to_string(MAX_MAPS_A_SIDE) +
                            " (2x1: two maps side by side), not \"" + *value + "\"";
                }
            }
        } else if (Names(argument, "--map")) {
            if (auto value = walk.Value(argument, "--map", error)) {
                options.map = MapModeFromName(*value);
                if (!options.map) error = "--map is flat, staircase or valley, not \"" + *value + "\"";
            }
        } else if (argument == "--map-item") {
            options.mapItem = true;
        } else if (Names(argument, "--max-height")) {
            if (auto value = walk.Value(argument, "--max-height", error)) {
                if (const auto height = ParseSplit(*value)) {
                    options.maxHeight = *height;
                } else {
                    error = "--max-height takes a number of blocks from 1 on, not \"" + *value + "\"";
                }
            }
        } else if (Names(argument, "--support-block")) {
            if (auto value = walk.Value(argument, "--support-block", error)) options.supportBlock = *value;
        } else if (Names(argument, "--materials-csv")) {
            if (auto value = walk.Value(argument, "--materials-csv", error)) options.materialsCsv = *value;
        } else if (Names(argument, "--schem-version")) {
            if (auto value = walk.Value(argument, "--schem-version", error)) {
                if (const auto version = Named<int>(*value, {{"2", 2}, {"3", 3}})) {
                    options.schemVersion = *version;
                } else {
                    error = "--schem-version is 2 or 3, not \"" + *value + "\"";
                }
            }
        } else if (Names(argument, "-j") || Names(argument, "--jobs")) {
            const bool isShort = !argument.starts_with("--");
            if (auto value = walk.Value(argument, isShort ? "-j" : "--jobs", error)) {
                if (auto jobs = ParseJobs(*value)) {
                    options.jobs = *jobs;
                } else {
                    error = "--jobs takes a number from 1 to 256, not \"" + *value + "\"";
                }
            }
        } else {
            error = "unknown option " + argument + " for convert";
        }
    }
    if (error.empty() && options.pictures.empty()) error = "convert needs at least one picture";
    if (error.empty() && options.palette && options.blocks) error = "--palette and --blocks both name the table: give one";
    const bool mapOnly = options.mapsWide != 1 || options.mapsTall != 1 || options.maxHeight != 0 ||
                         options.supportBlock || options.mapItem;
    if (error.empty() && !options.map && mapOnly) {
        error = "--maps, --max-height, --support-block and --map-item are for map art: add --map flat, staircase or valley";
    }
    if (error.empty() && options.choice.refine && options.choice.dither != DitherMode::FloydSteinberg) {
        error = "--refine refines Floyd-Steinberg's choices: add --dither floyd-steinberg";
    }
    if (error.empty() && options.map && options.split != 0) {
        error = "--map writes one file per map already: leave out --split";
    }
    if (error.empty() && options.map && options.orientation == Orientation::Wall) {
        error = "map art lies on the floor, where a map sees it: leave out --orientation wall";
    }
}

void ParsePalette(std::span<const std::string> args, ParsedArguments& parsed) {
    PaletteOptions& options = parsed.palette;
    TableChoice& table = options.table;
    ArgumentWalk walk(args);
    bool optionsEnded = false;
    std::string& error = parsed.usageError;
    while (!walk.Done() && error.empty()) {
        const std::string& argument = walk.Next();
        if (!optionsEnded && IsOption(argument)) {
            if (argument == "--") {
                optionsEnded = true;
            } else if (argument == "-h" || argument == "--help") {
                parsed.command = Command::Help;
                return;
            } else if (argument == "-q" || argument == "--quiet") {
                options.quiet = true;
            } else if (ParseTableOption(argument, walk, table.blocks, table.only, table.exclude, table.gameVersion,
                                        error)) {
            } else {
                error = "unknown option " + argument + " for palette";
            }
        } else if (table.palette) {
            error = "palette reads one file, not several";
        } else {
            table.palette = argument;
        }
    }
    if (error.empty() && table.palette && table.blocks) error = "a FILE and --blocks both name the table: give one";
}

}  // namespace

TableChoice TableChoiceOf(const ConvertOptions& options) {
    return {options.palette, options.blocks, options.only, options.exclude, options.gameVersion,
            options.orientation == Orientation::Wall};
}

ParsedArguments ParseArguments(std::span<const std::string> args) {
    ParsedArguments parsed;
    if (args.empty()) {
        parsed.usageError = "no command given";
        return parsed;
    }
    const std::string& first = args.front();
    const auto rest = args.subspan(1);
    if (first == "-h" || first == "--help" || first == "help") {
        parsed.command = Command::Help;
    } else if (first == "--version") {
        parsed.command = Command::Version;
    } else if (first == "convert") {
        parsed.command = Command::Convert;
        ParseConvert(rest, parsed);
    } else if (first == "palette") {
        parsed.command = Command::Palette;
        ParsePalette(rest, parsed);
    } else if (IsOption(first)) {
        parsed.usageError = "unknown option " + first;
    } else {
        parsed.usageError = "unknown command \"" + first + "\"";
    }
    return parsed;
}

}  // namespace tesselbox::cli
