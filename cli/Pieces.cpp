#include "cli/Pieces.h"

#include "formats/Materials.h"
#include "fileio/ReplaceFile.h"
#include "fileio/OpenFile.h"

#include <algorithm>
#include <cstdio>
#include <sstream>

namespace tesselbox::cli {
namespace {

namespace fs = std::filesystem;

// "~" for no offset, as the game's commands write it.
std::string Relative(std::int64_t offset) {
    std::string text = "~";
    if (offset != 0) text += std::to_string(offset);
    return text;
}

std::string Stem(const fs::path& path) {
    const std::u8string stem = path.stem().u8string();
    return {stem.begin(), stem.end()};
}

// A structure's name in /place must be a resource location: lowercase letters, digits, _ - . /
bool IsResourceName(std::string_view name) {
    return !name.empty() && std::all_of(name.begin(), name.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' || c == '-' || c == '.';
    });
}

}  // namespace

PiecesReport WritePieces(const fs::path& target, const BlockFileSource& source, const BlockFileOptions& options,
                         std::uint32_t side, const std::vector<std::string>& blockNames) {
    PiecesReport report;
    const bool wall = options.orientation == Orientation::Wall;
    // The whole art's height and names, checked once as a column of its height.
    {
        const BlockGrid column(source.height, NO_BLOCK);
        const BlockFileOutcome whole = CheckBlockFile({1, source.height, column.data(), source.table}, options);
        if (!whole.ok()) {
            report.failures.push_back(DisplayPath(target) + ": " + whole.message);
            return report;
        }
    }
    const std::uint32_t columns = std::max<std::uint32_t>(1, (source.width + side - 1) / side);
    const std::uint32_t rows = std::max<std::uint32_t>(1, (source.height + side - 1) / side);
    if (columns == 1 && rows == 1) {
        report.notes.push_back(DisplayPath(target) + ": the art (" + std::to_string(source.width) + " x " +
                               std::to_string(source.height) + ") fits in one piece of " + std::to_string(side) +
                               " x " + std::to_string(side));
    }
    const std::string name = Stem(target);
    const std::string extension(FormatExtension(options.format));
    const std::uint32_t firstHeight = std::min(side, source.height);
    std::ostringstream guide;
    guide << name << ": " << source.width << " x " << source.height << " blocks in " << rows << " x " << columns
          << " pieces of at most " << side << " x " << side << (wall ? ", standing as a wall" : ", lying flat")
          << ".\nOffsets are from the first piece's corner ("
          << (wall ? "west, top; y counts up" : "north-west; x east, z south") << ").\n";
    if (options.format == BlockFileFormat::Nbt && !IsResourceName(name)) {
        guide << "Note: /place takes only lowercase letters, digits, _ - . in a name; rename the files to such a "
                 "name and use it in the commands.\n";
    }
    guide << "\n";
    BillOfMaterials all;
    bool counted = false;
    for (std::uint32_t row = 0; row < rows; ++row) {
        for (std::uint32_t col = 0; col < columns; ++col) {
            const std::uint32_t left = col * side;
            const std::uint32_t top = row * side;
            const std::uint32_t width = std::min(side, source.width - std::min(left, source.width));
            const std::uint32_t height = std::min(side, source.height - std::min(top, source.height));
            // The piece's share, bottom row first like every grid.
            BlockGrid grid(std::size_t{width} * height);
            for (std::uint32_t t = 0; t < height; ++t) {
                const std::int32_t* from = source.blockGrid + std::size_t{source.height - 1 - top - t} * source.width + left;
                std::copy(from, from + width, grid.begin() + static_cast<std::ptrdiff_t>(std::size_t{height - 1 - t} * width));
            }
            std::string pieceName = name;
            pieceName.append("-").append(std::to_string(row + 1)).append("-").append(std::to_string(col + 1));
            fs::path piece = target.parent_path() / fs::path(std::u8string(pieceName.begin(), pieceName.end()) +
                                                            std::u8string(extension.begin(), extension.end()));
            BlockFileOptions pieceOptions = options;
            pieceOptions.name = pieceName;
            const BlockFileOutcome written = WriteBlockFile(piece, {width, height, grid.data(), source.table}, pieceOptions);
            if (!written.ok()) {
                report.failures.push_back(DisplayPath(piece) + ": " + written.message);
                return report;
            }
            const std::int64_t dx = left;
            const std::int64_t dy = wall ? std::int64_t{firstHeight} - top - height : 0;
            const std::int64_t dz = wall ? 0 : top;
            const std::string at = Relative(dx) + " " + Relative(dy) + " " + Relative(dz);
            guide << pieceName << extension << ": " << width << " x " << height << ", offset x " << dx << " y " << dy
                  << " z " << dz << "\n";
            if (options.format == BlockFileFormat::Nbt) {
                guide << "  /place template tesselbox:" << pieceName << " " << at << "\n";
            } else if (options.format == BlockFileFormat::McStructure) {
                guide << "  /structure load " << pieceName << " " << at << "\n";
            }
            const BillOfMaterials bill = CountMaterials(grid, *source.table);
            PrintMaterials(guide, bill, blockNames);
            guide << "\n";
            all = counted ? AddMaterials(all, bill) : bill;
            counted = true;
        }
    }
    guide << "all pieces:\n";
    PrintMaterials(guide, all, blockNames);
    const std::string text = guide.str();
    const fs::path guidePath =
        target.parent_path() / fs::path(std::u8string(name.begin(), name.end()) + u8"-pieces.txt");
    const WriteOutcome written = ReplaceFile(guidePath, [&](std::FILE* file) {
        return std::fwrite(text.data(), 1, text.size(), file) == text.size();
    });
    if (!written.ok()) report.failures.push_back(written.message);
    return report;
}

}  // namespace tesselbox::cli
