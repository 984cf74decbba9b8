#include "cli/ConvertCommand.h"

#include "cli/CoreBudget.h"
#include "cli/PaletteSource.h"
#include "cli/Pieces.h"
#include "convert/Limits.h"
#include "convert/MapArt.h"
#include "convert/PictureImport.h"
#include "fileio/OpenFile.h"
#include "fileio/ReplaceFile.h"
#include "formats/BlockFile.h"
#include "formats/MapFiles.h"
#include "palette/BlockChoice.h"
#include "palette/BlockStates.h"
#include "palette/Materials.h"
#include "platform/PictureServices.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <limits>
#include <map>
#include <memory>
#include <mutex>
#include <new>
#include <optional>
#include <system_error>
#include <thread>
#include <vector>

namespace tesselbox::cli {
namespace {

namespace fs = std::filesystem;

struct PlannedPicture {
    fs::path picture;
    fs::path schematic;  // the block file, whatever its format
    BlockFileFormat format = BlockFileFormat::Schematic;
    std::optional<fs::path> preview;
};

struct PictureReport {
    std::vector<std::string> failures;  // each names the picture and what went wrong
    std::vector<std::string> notes;     // each names the picture; not failures
    PictureSize working;
    std::optional<BillOfMaterials> materials;  // when asked for and the picture was converted
    std::string mapMaterials;                  // map art: each map's blocks, then all, as printed
};

BlockFileOptions FileOptions(const PlannedPicture& planned, const ConvertOptions& options) {
    BlockFileOptions fileOptions;
    fileOptions.format = planned.format;
    fileOptions.gzip = options.gzip;
    fileOptions.gameVersion = options.gameVersion;
    fileOptions.bedrockVersion = options.bedrockVersion;
    fileOptions.schemVersion = options.schemVersion;
    fileOptions.orientation = options.orientation;
    const std::u8string stem = planned.picture.stem().u8string();
    fileOptions.name.assign(stem.begin(), stem.end());
    return fileOptions;
}

std::string Shown(const fs::path& path) { return DisplayPath(path); }

// One spelling per file, so that "a.png" and "./a.png" are seen to be the same.
fs::path SameFileKey(const fs::path& path) {
    std::error_code error;
    const fs::path key = fs::weakly_canonical(fs::absolute(path, error), error);
    return error ? fs::absolute(path, error).lexically_normal() : key;
}

bool IsFolder(const fs::path& path) {
    std::error_code ignored;
    return fs::is_directory(path, ignored);
}

fs::path WithName(const fs::path& picture, const std::string& ending) {
    fs::path name = picture.stem();
    name += ending;
    return name;
}

// Where each picture's files go, or a usage error when the line asks for something impossible
// (several pictures into one file, two pictures into the same file, a picture overwritten).
std::optional<std::string> PlanOutputs(const ConvertOptions& options, const fs::path& table,
                                       std::vector<PlannedPicture>& plan) {
    const bool several = options.pictures.size() > 1;
    const bool outputIsFolder = options.output && IsFolder(*options.output);
    const bool previewIsFolder = options.preview && IsFolder(*options.preview);
    if (several && options.output && !outputIsFolder) {
        return "-o " + Shown(*options.output) +
               " is not a folder: with several pictures, -o names an existing folder";
    }
    if (several && options.preview && !previewIsFolder) {
        return "--preview " + Shown(*options.preview) +
               " is not a folder: with several pictures, --preview names an existing folder";
    }
    std::map<fs::path, std::string> claimed;  // file -> what claims it
    for (const fs::path& picture : options.pictures) {
        claimed.emplace(SameFileKey(picture), "the picture " + Shown(picture));
    }
    if (!table.empty()) claimed.emplace(SameFileKey(table), "the color table " + Shown(table));
    const std::string extension(FormatExtension(options.format.value_or(BlockFileFormat::Schematic)));
    for (const fs::path& picture : options.pictures) {
        PlannedPicture planned{picture, {}, BlockFileFormat::Schematic, std::nullopt};
        if (!options.output) {
            planned.schematic = fs::path(picture).replace_extension(extension);
        } else if (outputIsFolder) {
            planned.schematic = *options.output / WithName(picture, extension);
        } else {
            planned.schematic = *options.output;
        }
        planned.format = options.format.value_or(FormatFromExtension(planned.schematic));
        if (options.preview) {
            planned.preview = previewIsFolder ? *options.preview / WithName(picture, "-blocks.png")
                                              : *options.preview;
        }
        const std::string by = "the output for " + Shown(picture);
        for (const fs::path* file :
             {&planned.schematic, planned.preview ? &*planned.preview : nullptr}) {
            if (file == nullptr) continue;
            const auto [at, added] = claimed.emplace(SameFileKey(*file), by);
            if (!added) {
                return Shown(*file) + " would be written twice: it is " + at->second + " and " + by;
            }
        }
        plan.push_back(std::move(planned));
    }
    return std::nullopt;
}

// The preview as the window's right panel shows it, at the working size: PNG, transparent where
// no block goes. Replaced as safely as the schematic.
std::optional<std::string> WritePreview(const fs::path& path, const PixelSurface& preview) {
    if (!preview.HasPixels()) {
        return "no preview written to " + Shown(path) + ": the converted picture is " +
               std::to_string(preview.width()) + " x " + std::to_string(preview.height()) + " pixels";
    }
    std::vector<std::uint8_t> png;
    std::string why;
    if (!platform::EncodePng(*preview.memory(), png, why)) {
        return "cannot make the preview " + Shown(path) + ": " + why;
    }
    const WriteOutcome written = ReplaceFile(path, [&](std::FILE* file) {
        return std::fwrite(png.data(), 1, png.size(), file) == png.size();
    });
    if (!written.ok()) return written.message;
    return std::nullopt;
}

// The most that converting a picture of this size at this working size holds at its peak, in
// bytes: the decoded picture, the grid, a new grid for a choice, a drawn source when fitted, the
// preview with its copy for the PNG. A picture decoded into the grid's memory holds less (the
// grid is its pixels): 4 bytes a pixel measured, against 8 counted here.
std::uint64_t MemoryNeed(PictureSize picture, PictureSize working, const ConvertOptions& options,
                         bool preview) {
    const std::uint64_t pictureBytes = std::uint64_t{picture.width} * picture.height * 4;
    const std::uint64_t workingBytes = std::uint64_t{working.width} * working.height * 4;
    const std::uint64_t planes = 1 + (options.choice != ConversionChoice{} ? 1 : 0) +
                                 (preview ? 2 : 0) + (working != picture ? 2 : 0);
    return pictureBytes + workingBytes * planes + (std::uint64_t{32} << 20);
}

MapArtRequest MapRequest(const ConvertOptions& options) {
    return {*options.map, options.mapsWide, options.mapsTall, options.maxHeight, options.gameVersion};
}

// The map road after the decode: fitted to the maps, matched, built, then every file or none.
void MakeMaps(LoadedPicture&& loaded, const PlannedPicture& planned, const MapPalette& palette,
              const ConvertOptions& options, const std::vector<std::string>& blockNames, PictureReport& report) {
    const std::string picture = Shown(planned.picture);
    const MapArtRequest request = MapRequest(options);
    MapArt art;
    const ImportOutcome made = MakeMapArt(std::move(loaded), palette, request, options.choice, art);
    if (!made.ok()) {
        report.failures.push_back(picture + ": " + made.message);
        return;
    }
    if (!art.refusal.empty()) {
        const GameVersion& version = options.gameVersion != nullptr ? *options.gameVersion : NewestGameVersion();
        const bool userLimit = options.maxHeight != 0 && options.maxHeight < BuildHeight(version);
        report.failures.push_back(picture + ": " + art.refusal + (userLimit ? " (--max-height)" : ""));
        return;
    }
    report.working = MapArtCanvas(request);
    MapFilesReport written = WriteMapFiles(planned.schematic, art, palette, FileOptions(planned, options), options.mapItem, blockNames);
    report.mapMaterials = std::move(written.materials);
    if (options.materials || options.materialsCsv) report.materials = std::move(written.all);
    if (!written.ok()) report.failures.push_back(std::string(picture).append(": ").append(written.failure));
    if (planned.preview && written.ok()) {
        PixelSurface preview;
        if (!PaintMapPreview(art, palette, preview)) {
            report.failures.push_back(picture + ": not enough memory for the preview");
        } else if (auto failure = WritePreview(*planned.preview, preview)) {
            report.failures.push_back(picture + ": " + *failure);
        }
    }
}

PictureReport ConvertOne(const PlannedPicture& planned, const ColorTable& table,
                         const ConvertOptions& options, CoreBudget& budget, MemoryBudget& memory,
                         const std::vector<std::string>& blockNames, const MapPalette* map) {
    PictureReport report;
    const std::string picture = Shown(planned.picture);
    // Memory first, then a core: a worker waiting for memory holds no core that others need.
    std::optional<MemoryBudget::Grant> memoryGrant;
    ConvertedPicture converted;
    {
        LoadedPicture loaded;
        {
            // The working size is known from the header: a picture it breaks a limit for is
            // refused, and the memory it needs reserved, before it is decoded.
            std::optional<CoreBudget::Grant> decoding;
            const auto checkSize = [&](std::uint32_t width,
                                       std::uint32_t height) -> std::optional<std::string> {
                const PictureSize working =
                    map != nullptr ? FitToMaps({width, height}, MapRequest(options)) : WorkingSize({width, height}, options.fit);
                if (auto refused = CheckWorkingSize(working.width, working.height)) return refused;
                memoryGrant.emplace(memory, MemoryNeed({width, height}, working, options,
                                                       planned.preview.has_value()));
                decoding.emplace(budget, 1);
                return std::nullopt;
            };
            loaded = LoadPicture(planned.picture, checkSize);
        }
        if (!memoryGrant && loaded.outcome().ok()) {  // a decoder that could not tell the size first
            memoryGrant.emplace(memory, MemoryNeed(loaded.size(), WorkingSize(loaded.size(), options.fit),
                                                   options, planned.preview.has_value()));
        }
        for (const std::string& note : loaded.notes()) {
            std::string line = picture;
            line.append(": ").append(note);
            report.notes.push_back(std::move(line));
        }
        const PictureSize size = loaded.size();
        const auto failureOf = [&](const ImportOutcome& outcome) {
            std::string failure = picture + ": " + outcome.message;
            if (!options.fit && (outcome.status == ImportStatus::TooLarge ||
                                 outcome.status == ImportStatus::OutOfMemory)) {
                const PictureSize fitted = FitToPanel(size);
                failure += " (--fit would make it " + std::to_string(fitted.width) + " x " +
                           std::to_string(fitted.height) + ")";
            }
            return failure;
        };
        if (!loaded.outcome().ok()) {
            report.failures.push_back(failureOf(loaded.outcome()));
            return report;
        }
        if (map != nullptr) {
            CoreBudget::Grant grant(budget, 2);
            MakeMaps(std::move(loaded), planned, *map, options, blockNames, report);
            return report;
        }
        // --fit answers the window's question whether to shrink; the source is not kept.
        const PictureRequest request{WorkingSize(size, options.fit), false,
                                     planned.preview.has_value(), options.choice};
        const bool twoThreads = std::uint64_t{request.working.width} * request.working.height >=
                                PARALLEL_CONVERSION_PIXELS;
        CoreBudget::Grant grant(budget, twoThreads ? 2 : 1);
        const ImportOutcome made = MakeBlocks(std::move(loaded), table, request, converted);
        if (!made.ok()) {
            report.failures.push_back(failureOf(made));
            return report;
        }
    }
    report.working = converted.working;
    const BlockFileSource source{converted.working.width, converted.working.height,
                                 converted.grid.data(), &table};
    const BlockFileOptions fileOptions = FileOptions(planned, options);
    if (options.split > 0) {
        PiecesReport pieces = WritePieces(planned.schematic, source, fileOptions, options.split, blockNames);
        for (const std::string& failure : pieces.failures) report.failures.push_back(std::string(picture).append(": ").append(failure));
        for (const std::string& note : pieces.notes) report.notes.push_back(std::string(picture).append(": ").append(note));
    } else if (const BlockFileOutcome written = WriteBlockFile(planned.schematic, source, fileOptions); !written.ok()) {
        // Size and name refusals do not name the file; open and write failures do.
        const bool named = written.status == BlockFileStatus::OpenFailed ||
                           written.status == BlockFileStatus::WriteFailed ||
                           planned.format == BlockFileFormat::Schematic;
        report.failures.push_back(picture + ": " + (named ? "" : Shown(planned.schematic) + ": ") +
                                  written.message);
    } else if (converted.working.width == 0 || converted.working.height == 0) {
        report.notes.push_back(picture + ": " + Shown(planned.schematic) + " holds no block: the picture is " +
                               std::to_string(converted.working.width) + " x " +
                               std::to_string(converted.working.height) + " blocks");
    }
    if (planned.preview) {
        if (auto failure = WritePreview(*planned.preview, converted.preview)) {
            report.failures.push_back(picture + ": " + *failure);
        }
    }
    if (options.materials || options.materialsCsv) report.materials = CountMaterials(converted.grid, table);
    return report;
}

PictureReport ConvertOneSafely(const PlannedPicture& planned, const ColorTable& table,
                               const ConvertOptions& options, CoreBudget& budget, MemoryBudget& memory,
                               const std::vector<std::string>& blockNames, const MapPalette* map) {
    try {
        return ConvertOne(planned, table, options, budget, memory, blockNames, map);
    } catch (const std::bad_alloc&) {
        PictureReport report;
        report.failures.push_back(Shown(planned.picture) + ": not enough memory");
        return report;
    } catch (const std::exception& error) {
        PictureReport report;
        report.failures.push_back(Shown(planned.picture) + ": " + error.what());
        return report;
    }
}

// "[3/10] name" on one terminal line, rewritten in place.
class Progress {
public:
    Progress(std::ostream& err, bool shown) : err_(err), shown_(shown) {}
    void Show(std::size_t done, std::size_t total, const fs::path& last) {
        if (!shown_) return;
        err_ << "\r\033[K[" << done << "/" << total << "] " << Shown(last) << std::flush;
        onScreen_ = true;
    }
    void Clear() {
        if (!onScreen_) return;
        err_ << "\r\033[K" << std::flush;
        onScreen_ = false;
    }

private:
    std::ostream& err_;
    bool shown_;
    bool onScreen_ = false;
};

// Converts every picture on a few workers and reports on this thread, in the order given, as soon
// as each picture and all before it are done: the output never depends on timing.
class Batch {
public:
    Batch(const std::vector<PlannedPicture>& plan, const ColorTable& table, const MapPalette* map,
          const ConvertOptions& options, const std::vector<std::string>& blockNames, unsigned workers,
          std::uint64_t memory)
        : plan_(plan),
          table_(table),
          map_(map),
          options_(options),
          blockNames_(blockNames),
          budget_(workers),
          memory_(memory),
          reports_(plan.size()),
          done_(plan.size(), false) {
        for (unsigned i = 0; i < workers; ++i) {
            try {
                threads_.emplace_back([this] { Work(); });
            } catch (const std::system_error&) {
                break;  // fewer workers, or none: then Next does the work itself
            }
        }
    }

    // Waits for picture i; valid until the Batch ends.
    const PictureReport& Next(std::size_t i) {
        if (threads_.empty()) Work();
        std::unique_lock lock(mutex_);
        finished_.wait(lock, [&] { return static_cast<bool>(done_[i]); });
        return reports_[i];
    }

private:
    void Work() {
        for (;;) {
            const std::size_t i = next_++;
            if (i >= plan_.size()) return;
            PictureReport report = ConvertOneSafely(plan_[i], table_, options_, budget_, memory_, blockNames_, map_);
            {
                std::lock_guard lock(mutex_);
                reports_[i] = std::move(report);
                done_[i] = true;
            }
            finished_.notify_all();
        }
    }

    const std::vector<PlannedPicture>& plan_;
    const ColorTable& table_;
    const MapPalette* map_;
    const ConvertOptions& options_;
    const std::vector<std::string>& blockNames_;
    CoreBudget budget_;
    MemoryBudget memory_;
    std::atomic<std::size_t> next_{0};
    std::mutex mutex_;
    std::condition_variable finished_;
    std::vector<PictureReport> reports_;
    std::vector<char> done_;
    std::vector<std::jthread> threads_;  // last: joined before anything above goes
};

// The map color table the line chooses; a table named by --palette or --blocks offers its blocks.
int LoadMapPalette(const ConvertOptions& options, const Environment& environment, MapPalette& palette,
                   std::ostream& err) {
    MapPaletteRequest request;
    request.mode = *options.map;
    request.version = options.gameVersion;
    request.only = options.only;
    request.exclude = options.exclude;
    if (options.supportBlock) request.supportBlock = *options.supportBlock;
    auto offered = std::make_unique<ColorTable>();
    if (options.palette || options.blocks) {
        if (const int status = LoadChosenTable(TableChoiceOf(options), environment, options.quiet, *offered, err);
            status != EXIT_DONE) {
            return status;
        }
        for (std::size_t i = 0; i < static_cast<std::size_t>(offered->count); ++i) {
            request.offered.push_back(BlockNameOf(*offered, i));
        }
    } else {
        for (const auto* words : {&options.only, &options.exclude}) {
            for (const std::string& word : *words) {
                if (const std::string why = CheckChoiceWord(word, *offered); !why.empty()) {
                    err << "tesselbox-cli: " << (words == &options.only ? "--only" : "--exclude") << ": " << why << "\n";
                    return EXIT_USAGE;
                }
            }
        }
    }
    if (const auto refused = MakeMapPalette(request, palette)) {
        err << "tesselbox-cli: " << *refused << "\n";
        return EXIT_USAGE;
    }
    if (!options.quiet) {
        for (const std::string& note : palette.notes) err << "tesselbox-cli: note: " << note << "\n";
        const std::size_t shades = options.map == MapMode::Flat ? 1 : 3;
        err << "tesselbox-cli: " << MapModeName(*options.map) << " map art: " << palette.table.count / static_cast<std::int32_t>(shades)
            << " map colors in " << shades << (shades == 1 ? " shade" : " shades") << ", support block "
            << palette.fileTable.blockStates[static_cast<std::size_t>(palette.supportEntry)] << "\n";
    }
    return EXIT_DONE;
}

}  // namespace

int RunConvert(const ConvertOptions& options, std::ostream& out, std::ostream& err,
               const Environment& environment) {
    std::vector<PlannedPicture> plan;
    if (auto usage = PlanOutputs(options, ChosenPalettePath(options.palette, environment), plan)) {
        err << "tesselbox-cli: " << *usage << "\n";
        return EXIT_USAGE;
    }
    auto table = std::make_unique<ColorTable>();
    std::unique_ptr<MapPalette> map;
    if (options.map) {
        // Before any table is read: the line alone decides this.
        for (const PlannedPicture& planned : plan) {
            if (planned.format != BlockFileFormat::Schematic) continue;
            err << "tesselbox-cli: " << Shown(planned.schematic)
                << ": map art names its blocks and stands at several heights, which a .schematic cannot hold; "
                   "write .schem, .litematic, .nbt or .mcstructure (-o NAME.litematic)\n";
            return EXIT_USAGE;
        }
        map = std::make_unique<MapPalette>();
        if (const int status = LoadMapPalette(options, environment, *map, err); status != EXIT_DONE) return status;
        *table = map->fileTable;
    } else if (const int status = LoadChosenTable(TableChoiceOf(options), environment, options.quiet, *table, err);
               status != EXIT_DONE) {
        return status;
    }
    // A named block has no number for a .schematic: say which before any work.
    const auto schematic = std::find_if(plan.begin(), plan.end(), [](const PlannedPicture& planned) {
        return planned.format == BlockFileFormat::Schematic;
    });
    if (schematic != plan.end() && HasNamedEntries(*table)) {
        std::size_t i = 0;
        while (table->blockStates[i].empty()) ++i;
        err << "tesselbox-cli: " << Shown(schematic->schematic) << ": "
            << (options.palette ? Shown(*options.palette) + ": " : std::string())
            << (table->lines[i] > 0 ? "color table line " + std::to_string(table->lines[i]) + ": " : std::string())
            << table->blockStates[i] << (table->lines[i] > 0 ? "" : " (entry " + std::to_string(i + 1) + ")")
            << " has no numeric id, which a .schematic needs; write .schem, .litematic or .nbt (-o NAME.litematic)\n";
        return EXIT_FILE_FAILED;
    }

    // A block without a name in the chosen version stops every modern file before any work.
    const GameVersion& version = options.gameVersion ? *options.gameVersion : NewestGameVersion();
    const bool modern = std::any_of(plan.begin(), plan.end(), [](const PlannedPicture& planned) {
        return planned.format != BlockFileFormat::Schematic;
    });
    if (modern) {
        const TableBlockStates states = ResolveTableBlockStates(*table, version);
        if (!states.ok()) {
            err << "tesselbox-cli: " << (options.palette ? Shown(*options.palette) + ": " : "") << states.message
                << "\n";
            return EXIT_FILE_FAILED;
        }
    }
    const bool bedrock = std::any_of(plan.begin(), plan.end(), [](const PlannedPicture& planned) {
        return planned.format == BlockFileFormat::McStructure;
    });
    if (bedrock) {
        const TableBedrockStates states =
            ResolveTableBedrockStates(*table, options.bedrockVersion ? *options.bedrockVersion : NewestBedrockVersion());
        if (!states.ok()) {
            err << "tesselbox-cli: " << (options.palette ? Shown(*options.palette) + ": " : "") << states.message
                << "\n";
            return EXIT_FILE_FAILED;
        }
    }
    std::vector<std::string> blockNames;  // for --materials, --materials-csv and pieces: each entry's name in that version
    if ((options.materials || options.materialsCsv || options.split > 0 || map) && (modern || options.gameVersion != nullptr)) {
        blockNames = TableBlockNames(*table, version);
    }

    const unsigned processors = environment.processors != 0
                                    ? environment.processors
                                    : std::max(1u, std::thread::hardware_concurrency());
    const unsigned jobs = options.jobs != 0 ? options.jobs : processors;
    const auto workers = static_cast<unsigned>(std::min<std::size_t>(jobs, plan.size()));
    const bool several = plan.size() > 1;

    struct PictureServices {
        PictureServices() { platform::StartPictureServices(); }
        ~PictureServices() { platform::StopPictureServices(); }
        PictureServices(const PictureServices&) = delete;
        PictureServices& operator=(const PictureServices&) = delete;
    } started;
    Progress progress(err, environment.errorIsTerminal && several && !options.quiet);
    std::optional<BillOfMaterials> allMaterials;
    std::size_t converted = 0;
    std::size_t failed = 0;
    {
        // What the machine has free now is shared by the pictures converted at a time.
        std::uint64_t memory = environment.memory != 0 ? environment.memory : AvailableMemory();
        if (memory == 0) memory = std::numeric_limits<std::uint64_t>::max();
        Batch batch(plan, *table, map.get(), options, blockNames, workers, memory);
        progress.Show(0, plan.size(), plan[0].picture);
        for (std::size_t i = 0; i < plan.size(); ++i) {
            const PictureReport& report = batch.Next(i);
            progress.Clear();
            if (!options.quiet) {
                for (const std::string& note : report.notes) err << "tesselbox-cli: note: " << note << "\n";
            }
            for (const std::string& failure : report.failures) {
                err << "tesselbox-cli: " << failure << "\n";
            }
            if (!report.failures.empty()) ++failed;
            if (options.materials && !report.mapMaterials.empty()) {
                if (several) out << Shown(plan[i].picture) << ":\n";
                out << report.mapMaterials;
                if (several) out << "\n";
            }
            // Map art printed its bill per map above.
            const bool printBill = options.materials && !map;
            if (report.materials) {
                ++converted;
                if (several && printBill) {
                    out << Shown(plan[i].picture) << " (" << report.working.width << " x "
                        << report.working.height << "):\n";
                }
                if (printBill) PrintMaterials(out, *report.materials, blockNames);
                if (several && printBill) out << "\n";
                allMaterials = allMaterials ? AddMaterials(*allMaterials, *report.materials)
                                            : *report.materials;
            }
            progress.Show(i + 1, plan.size(), plan[i].picture);
        }
        progress.Clear();
    }
    if (converted > 1 && options.materials && !map) {
        out << "all " << converted << " pictures:\n";
        PrintMaterials(out, *allMaterials, blockNames);
    }
    if (options.materialsCsv && allMaterials) {
        // A spreadsheet has the column either way: without a version asked for, the newest names the blocks.
        const std::string csv = MaterialsCsv(*allMaterials, !blockNames.empty() ? blockNames
                                                                                 : TableBlockNames(*table, NewestGameVersion()));
        const WriteOutcome written = ReplaceFile(*options.materialsCsv, [&](std::FILE* file) {
            return std::fwrite(csv.data(), 1, csv.size(), file) == csv.size();
        });
        if (!written.ok()) {
            err << "tesselbox-cli: " << written.message << "\n";
            ++failed;
        }
    }
    const bool printed = CheckOutput(out, err);
    if (failed > 0 && several) {
        err << "tesselbox-cli: " << failed << " of " << plan.size() << " pictures failed\n";
    }
    return failed > 0 || !printed ? EXIT_FILE_FAILED : EXIT_DONE;
}

}  // namespace tesselbox::cli
