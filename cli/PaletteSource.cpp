#include "cli/PaletteSource.h"

#include "fileio/OpenFile.h"
#include "palette/BlockChoice.h"
#include "blocks/ModernBlocks.h"

#include <system_error>

#ifndef TESSELBOX_INSTALLED_PALETTE
#error "the build names where the palette is installed, relative to the program's folder"
#endif

namespace tesselbox::cli {

namespace fs = std::filesystem;

fs::path InstalledPalettePath(const fs::path& executable) {
    return (executable.parent_path() / TESSELBOX_INSTALLED_PALETTE).lexically_normal();
}

fs::path ChosenPalettePath(const std::optional<fs::path>& named, const Environment& environment) {
    std::error_code ignored;
    if (named) return *named;
    if (fs::exists("Colors.txt", ignored)) return "Colors.txt";
    if (!environment.executable.empty() &&
        fs::exists(InstalledPalettePath(environment.executable), ignored)) {
        return InstalledPalettePath(environment.executable);
    }
    return {};
}

bool LoadPalette(const std::optional<fs::path>& named, const Environment& environment, bool quiet,
                 ColorTable& table, std::ostream& err) {
    const fs::path path = ChosenPalettePath(named, environment);
    std::string origin;
    if (!named && path == "Colors.txt") origin = " from the current folder";
    if (!named && !path.empty() && path != "Colors.txt") origin = ", the one that comes with the program";
    if (path.empty()) {
        err << "tesselbox-cli: no color table: there is no Colors.txt in the current folder";
        if (!environment.executable.empty()) {
            err << " nor at " << DisplayPath(InstalledPalettePath(environment.executable));
        }
        err << "; name one with --palette FILE\n";
        return false;
    }
    const ColorTableLoad load = LoadColorTableFile(path, table);
    if (!load.ok()) {
        err << "tesselbox-cli: " << load.message << "\n";
        return false;
    }
    if (!quiet) {
        for (const std::string& note : load.notes) err << "tesselbox-cli: note: " << note << "\n";
        err << "tesselbox-cli: color table " << DisplayPath(path) << origin << ", " << table.count
            << (table.count == 1 ? " entry" : " entries");
        if (load.ignoredEntries > 0) {
            err << " (" << load.ignoredEntries << " more left out: at most " << MAX_COLORS << ")";
        }
        err << "\n";
    }
    return true;
}

int LoadChosenTable(const TableChoice& choice, const Environment& environment, bool quiet, ColorTable& table,
                    std::ostream& err) {
    if (choice.blocks) {
        const std::size_t leftOut =
            MakeModernTable(table, choice.wall ? BlockFace::Side : BlockFace::Top, choice.gameVersion);
        if (!quiet) {
            err << "tesselbox-cli: the modern table, measured in Minecraft " << blocks::ModernTableVersion() << ", "
                << (choice.wall ? "side faces, " : "") << table.count << " blocks";
            if (leftOut > 0) {
                err << " (" << leftOut << " more left out: Minecraft " << choice.gameVersion->name
                    << " does not have them)";
            }
            err << "\n";
        }
    } else if (!LoadPalette(choice.palette, environment, quiet, table, err)) {
        return EXIT_FILE_FAILED;
    }
    if (table.count == 0) {
        err << "tesselbox-cli: Minecraft " << (choice.gameVersion ? choice.gameVersion->name : "")
            << " has none of the modern table's blocks\n";
        return EXIT_USAGE;
    }
    if (choice.only.empty() && choice.exclude.empty()) return EXIT_DONE;
    for (const auto* words : {&choice.only, &choice.exclude}) {
        for (const std::string& word : *words) {
            const std::string why = CheckChoiceWord(word, table);
            if (why.empty()) continue;
            err << "tesselbox-cli: " << (words == &choice.only ? "--only" : "--exclude") << ": " << why << "\n";
            return EXIT_USAGE;
        }
    }
    const std::int32_t before = table.count;
    ChooseBlocks(table, choice.only, choice.exclude);
    if (table.count == 0) {
        err << "tesselbox-cli: --only and --exclude leave none of the " << before << " blocks\n";
        return EXIT_USAGE;
    }
    if (!quiet) err << "tesselbox-cli: " << table.count << " of the " << before << " blocks chosen\n";
    return EXIT_DONE;
}

}  // namespace tesselbox::cli
