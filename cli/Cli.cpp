#include "cli/Cli.h"

#include "cli/ConvertCommand.h"
#include "cli/Options.h"
#include "cli/PaletteSource.h"
#include "blocks/ModernBlocks.h"
#include "palette/BlockStates.h"
#include "palette/ColorTable.h"

#include <memory>
#include <new>
#include <system_error>
#include <thread>

#include <unistd.h>

#ifndef TESSELBOX_VERSION
#error "the build passes the project's version"
#endif

namespace tesselbox::cli {
namespace {

// "or:" continues the usage as GNU tools write it, which help2man reads into the man page's synopsis.
constexpr const char* USAGE = R"(Usage: tesselbox-cli convert [options] PICTURE...
   or: tesselbox-cli palette [FILE | --blocks modern] [--only LIST] [--exclude LIST] [--mc-version V]
   or: tesselbox-cli --help | --version
)";

constexpr const char* HELP = R"(
Turns pictures (JPEG, PNG, BMP and more) into flat Minecraft block art: every pixel that is
opaque enough becomes the block of the nearest color in the color table, and the result is
written as a block file one block high: an MCEdit .schematic, a Sponge .schem (WorldEdit, FAWE),
a Litematica .litematic, or a structure file the game loads by itself: Java's .nbt or
Bedrock's .mcstructure.

convert options:
  -o, --output PATH    the file to write (one picture), or an existing folder where each
                       picture gets NAME.schematic (or the --format's extension); default:
                       beside each picture; the extension chooses the format
      --format FORMAT  schematic, schem, litematic, nbt or mcstructure, whatever the output's
                       extension
      --gzip           compress the .schematic (WorldEdit and FAWE read only that); .schem and
                       .litematic are always compressed
      --mc-version V   the Minecraft version whose block names .schem, .litematic and .nbt use
      --bedrock-version V  the Bedrock version whose block names .mcstructure uses
      --orientation O  floor (the default): the art lies flat, its top row to the north; or
                       wall: it stands up, its bottom row on the ground, facing south
                       (with --blocks modern, matched against the blocks' side faces)
      --split N        write pieces of at most N x N blocks (48: a Java structure block's
                       LOAD button, 64: Bedrock's), NAME-ROW-COL.EXT from the north-west,
                       and NAME-pieces.txt: each piece's offset, the command that places
                       it and its blocks
      --schem-version N  2 (the default; WorldEdit 7.2 and later, FAWE, Litematica) or 3
      --map MODE       map art: blocks an empty map held over them draws as the picture;
                       flat (one layer), staircase (each block one higher, level or lower
                       than the block north of it: three shades of every color) or valley
                       (the same map with the least height)
      --maps WxH       the picture fitted into W x H maps (default 1x1), one file each,
                       NAME-map-ROW-COL.EXT, and NAME-maps.txt: where each map goes
      --max-height N   refuse map art taller than N blocks (the build height always holds)
      --support-block NAME  the block under blocks that fall or need support, and north of
                       the art (default minecraft:cobblestone)
      --map-item       also write each map itself as map_N.dat beside the output
      --palette FILE   the color table; default: Colors.txt in the current folder if there is
                       one, else the one installed with the program
      --blocks modern  the shipped table of today's full blocks instead of a file; with
                       --mc-version, the blocks that version lacks are left out
      --only LIST      keep only the blocks LIST names: block names, families or flags,
                       separated by commas (--only wool,concrete,terracotta)
      --exclude LIST   leave out the blocks LIST names (--exclude falls,changes,busy); flags:
                       falls, needs-support, changes, light, creative-only, busy
      --fit            shrink a picture larger than 300 x 300 to fit inside it (the default)
      --no-fit         keep the picture's own size: one block per pixel
      --preview PATH   also write the picture in its blocks' colors as PNG, transparent where
                       no block goes; with several pictures an existing folder (NAME-blocks.png)
      --materials      print the blocks needed on standard output: the count, id:data and name
                       of each, most used first, then the totals; with --mc-version or a .schem
                       or .litematic output, each block's name in that version too; and
                       how many stacks of 64 and shulker boxes of 27 stacks that is
      --materials-csv FILE  write the same list as CSV
      --match RULE     how the nearest color is measured: rgb, distance of the 8-bit channels
                       (the default), or perceptual, CIEDE2000 as the eye sees color difference
      --dither MODE    none (the default); floyd-steinberg, which spreads each block's error to
                       the pixels around it so mixes of blocks stand for colors the table lacks;
                       or ordered, a fixed 8 x 8 pattern that is easy to build by hand
      --refine         with floyd-steinberg: then change blocks where that brings the art, seen
                       from a step back, closer to the picture (several times slower)
  -j, --jobs N         pictures converted at a time (default: one per processor)
  -q, --quiet          no notes or progress on standard error, only errors
)";

constexpr const char* HELP_END = R"(
palette prints the color table as read: one "id,data,red,green,blue" line per entry, in order,
or "minecraft:name,red,green,blue,name" for a named one, so it can be saved as a Colors.txt.

Exit status: 0 when everything was done, 1 when a file could not be read or written (the other
pictures are still converted), 2 when the command line is wrong.
)";

int RunPalette(const PaletteOptions& options, std::ostream& out, std::ostream& err,
               const Environment& environment) {
    auto table = std::make_unique<ColorTable>();
    if (const int status = LoadChosenTable(options.table, environment, options.quiet, *table, err);
        status != EXIT_DONE) {
        return status;
    }
    out << ColorTableText(*table);
    return CheckOutput(out, err) ? EXIT_DONE : EXIT_FILE_FAILED;
}

int Dispatch(std::span<const std::string> args, std::ostream& out, std::ostream& err,
             const Environment& environment) {
    const ParsedArguments parsed = ParseArguments(args);
    if (!parsed.usageError.empty()) {
        err << "tesselbox-cli: " << parsed.usageError << "\n"
            << USAGE << "Try 'tesselbox-cli --help' for more.\n";
        return EXIT_USAGE;
    }
    switch (parsed.command) {
        case Command::Help:
            out << USAGE << HELP << "\nMinecraft versions: " << SupportedGameVersionList() << " (default "
                << NewestGameVersion().name << ")\nFamilies for --only and --exclude:";
            for (std::string_view family : blocks::ModernBlockFamilies()) out << ' ' << family;
            out << "\n" << HELP_END;
            return EXIT_DONE;
        case Command::Version:
            out << "tesselbox-cli " << TESSELBOX_VERSION << "\n";
            return EXIT_DONE;
        case Command::Convert: return RunConvert(parsed.convert, out, err, environment);
        case Command::Palette: return RunPalette(parsed.palette, out, err, environment);
    }
    return EXIT_USAGE;
}

}  // namespace

bool CheckOutput(std::ostream& out, std::ostream& err) {
    out.flush();
    if (out) return true;
    err << "tesselbox-cli: cannot write to standard output\n";
    return false;
}

Environment ProcessEnvironment() {
    Environment environment;
    std::error_code error;
    environment.executable = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error) environment.executable.clear();
    environment.errorIsTerminal = isatty(STDERR_FILENO) == 1;
    environment.processors = std::max(1u, std::thread::hardware_concurrency());
    return environment;
}

int run(std::span<const std::string> args, std::ostream& out, std::ostream& err,
        const Environment& environment) {
    try {
        return Dispatch(args, out, err, environment);
    } catch (const std::bad_alloc&) {
        err << "tesselbox-cli: not enough memory\n";
    } catch (const std::exception& error) {
        err << "tesselbox-cli: " << error.what() << "\n";
    }
    return EXIT_FILE_FAILED;
}

int run(std::span<const std::string> args, std::ostream& out, std::ostream& err) {
    return run(args, out, err, ProcessEnvironment());
}

}  // namespace tesselbox::cli
