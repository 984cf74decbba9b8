// Which color table a command uses: the one named, else Colors.txt in the current folder, else
// the one installed with the program. Says which on err, as the user cannot see it otherwise.
#pragma once

#include "cli/Cli.h"
#include "cli/Options.h"
#include "palette/ColorTable.h"

#include <filesystem>
#include <optional>
#include <ostream>

namespace tesselbox::cli {

// Where the installed table would be for this program file (whether or not it exists).
std::filesystem::path InstalledPalettePath(const std::filesystem::path& executable);

// The table a command would read: the one named, else the first of the others that exists;
// empty when there is none.
std::filesystem::path ChosenPalettePath(const std::optional<std::filesystem::path>& named,
                                        const Environment& environment);

// Fills an empty table. False, with the reason on err, when no table was found or it yields no
// entry. quiet leaves out the note saying which table is used.
bool LoadPalette(const std::optional<std::filesystem::path>& named, const Environment& environment,
                 bool quiet, ColorTable& table, std::ostream& err);

// Fills an empty table as the choice says: the file (as LoadPalette) or the shipped set, then the
// blocks --only and --exclude keep. EXIT_DONE, or the exit status with the reason on err: an
// unknown word (with close names) or nothing left is a usage error.
int LoadChosenTable(const TableChoice& choice, const Environment& environment, bool quiet, ColorTable& table,
                    std::ostream& err);

}  // namespace tesselbox::cli
