#include "formats/MapFiles.h"

#include "fileio/OpenFile.h"
#include "fileio/ReplaceFile.h"
#include "formats/MapItem.h"

#include <cstdio>
#include <sstream>

namespace tesselbox {
namespace {

namespace fs = std::filesystem;

fs::path Beside(const fs::path& target, const std::string& name) {
    return target.parent_path() / fs::path(std::u8string(name.begin(), name.end()));
}

std::string Stem(const fs::path& path) {
    const std::u8string stem = path.stem().u8string();
    return {stem.begin(), stem.end()};
}

BillOfMaterials SupportBill(const MapPalette& palette, std::uint64_t count) {
    BillOfMaterials bill;
    if (count == 0) return bill;
    const auto entry = static_cast<std::size_t>(palette.supportEntry);
    bill.materials.push_back({0, 0, palette.fileTable.blockStates[entry], count, palette.supportEntry,
                              palette.fileTable.names[entry]});
    bill.blocks = count;
    return bill;
}

fs::path PieceName(const fs::path& target, const MapArt& art, const MapPiece& piece, BlockFileFormat format) {
    if (art.pieces.size() == 1) return target;
    std::string file = Stem(target);
    file.append("-map-").append(std::to_string(piece.row + 1)).append("-").append(std::to_string(piece.column + 1));
    return Beside(target, file.append(FormatExtension(format)));
}

void PrintBills(std::ostream& out, const BillOfMaterials& art, const BillOfMaterials& support,
                const std::vector<std::string>& blockNames) {
    PrintMaterials(out, art, blockNames);
    if (support.blocks == 0) return;
    out << "support and reference blocks:\n";
    PrintMaterials(out, support, blockNames);
}

}  // namespace

MapMaterials CountMapMaterials(const MapArt& art, const MapPalette& palette) {
    MapMaterials all;
    for (std::size_t i = 0; i < art.pieces.size(); ++i) {
        const MapPiece& piece = art.pieces[i];
        BillOfMaterials artBill = CountMaterials(piece.art, palette.fileTable);
        BillOfMaterials supportBill = SupportBill(palette, piece.supportBlocks);
        all.art = i == 0 ? std::move(artBill) : AddMaterials(all.art, artBill);
        all.support = i == 0 ? std::move(supportBill) : AddMaterials(all.support, supportBill);
    }
    return all;
}

std::vector<fs::path> MapFileNames(const fs::path& target, const MapArt& art, BlockFileFormat format, bool mapItems) {
    std::vector<fs::path> files;
    for (const MapPiece& piece : art.pieces) files.push_back(PieceName(target, art, piece, format));
    files.push_back(Beside(target, Stem(target) + "-maps.txt"));
    for (std::size_t i = 0; mapItems && i < art.pieces.size(); ++i) {
        files.push_back(Beside(target, "map_" + std::to_string(i) + ".dat"));
    }
    return files;
}

BlockVolume PieceVolume(const MapPiece& piece, const MapPalette& palette, std::vector<std::int32_t>& cells) {
    constexpr std::uint32_t SIDE = MAP_ART_SIDE, LENGTH = MAP_ART_SIDE + 1;
    cells.assign(std::size_t{SIDE} * piece.layers * LENGTH, NO_BLOCK);
    const auto put = [&](std::uint32_t x, std::int32_t y, std::uint32_t z, std::int32_t entry) {
        cells[(static_cast<std::size_t>(y) * LENGTH + z) * SIDE + x] = entry;
    };
    for (std::uint32_t z = 0; z < LENGTH; ++z) {
        for (std::uint32_t x = 0; x < SIDE; ++x) {
            const std::int32_t y = piece.heights[std::size_t{z} * SIDE + x];
            if (y < 0) continue;
            const std::int32_t entry = piece.top[std::size_t{LENGTH - 1 - z} * SIDE + x];
            put(x, y, z, entry);
            if (entry != palette.supportEntry && palette.needsSupport[static_cast<std::size_t>(entry)]) {
                put(x, y - 1, z, palette.supportEntry);
            }
        }
    }
    return {SIDE, piece.layers, LENGTH, cells.data()};
}

MapFilesReport WriteMapFiles(const fs::path& target, const MapArt& art, const MapPalette& palette,
                             const BlockFileOptions& options, bool mapItems, const std::vector<std::string>& blockNames) {
    MapFilesReport report;
    const bool one = art.pieces.size() == 1;
    const std::string name = Stem(target);
    // The pieces, the guide, then the map items.
    const std::vector<fs::path> files = MapFileNames(target, art, options.format, mapItems);
    const fs::path& guideFile = files[art.pieces.size()];
    std::vector<std::int32_t> cells;  // one piece's blocks at a time
    BlockVolume volume;
    const auto sourceOf = [&](const MapPiece& piece) {
        volume = PieceVolume(piece, palette, cells);
        return BlockFileSource{MAP_ART_SIDE, MAP_ART_SIDE + 1, piece.top.data(), &palette.fileTable, &volume};
    };
    std::size_t tallest = 0;
    for (std::size_t i = 0; i < art.pieces.size(); ++i) {
        if (art.pieces[i].layers > art.pieces[tallest].layers) tallest = i;
    }
    // The pieces share their table and differ only in height, so the tallest is refused whenever
    // any is: checking it alone spares building every volume twice.
    if (!art.pieces.empty()) {
        if (const BlockFileOutcome checked = CheckBlockFile(sourceOf(art.pieces[tallest]), options); !checked.ok()) {
            report.failure = DisplayPath(files[tallest]) + ": " + checked.message;
            report.status = checked.status;
            return report;
        }
    }

    std::ostringstream guide, bills;
    guide << name << ": " << art.mapsWide << " x " << art.mapsTall << (art.pieces.size() == 1 ? " map" : " maps")
          << " of " << MAP_ART_SIDE << " x " << MAP_ART_SIDE << " blocks, each with a reference row north of it.\n"
          << "A map shows the blocks of one map area: x and z from 128 k - 64 to 128 k + 63. Place each file with\n"
          << "its north-west corner one block north of an area's corner (below: the areas around 0, 0), so that\n"
          << "the reference row lies just outside the area. A map's reference row takes the last row of the area\n"
          << "north of it: build maps one above the other in turn, or in areas apart. Hold an empty map anywhere\n"
          << "inside the area.\n\n";
    BillOfMaterials allArt, allSupport;
    for (std::size_t i = 0; i < art.pieces.size(); ++i) {
        const MapPiece& piece = art.pieces[i];
        BlockFileOptions pieceOptions = options;
        pieceOptions.name = Stem(files[i]);
        if (const BlockFileOutcome written = WriteBlockFile(files[i], sourceOf(piece), pieceOptions); !written.ok()) {
            report.failure = DisplayPath(files[i]) + ": " + written.message;
            report.status = written.status;
            return report;
        }
        const std::int64_t centreX = std::int64_t{MAP_ART_SIDE} * piece.column;
        const std::int64_t centreZ = std::int64_t{MAP_ART_SIDE} * piece.row;
        const std::int64_t x = centreX - MAP_ART_SIDE / 2, z = centreZ - MAP_ART_SIDE / 2 - 1;
        guide << DisplayPath(files[i].filename()) << ": map " << piece.row + 1 << "-" << piece.column + 1 << ", "
              << MAP_ART_SIDE << " x " << piece.layers << " x " << MAP_ART_SIDE + 1 << " blocks (x, y, z); corner at x "
              << x << ", z " << z << " (the map's centre " << centreX << ", " << centreZ << ")\n";
        if (options.format == BlockFileFormat::Nbt) {
            guide << "  /place template tesselbox:" << pieceOptions.name << " " << x << " ~ " << z << "\n";
        } else if (options.format == BlockFileFormat::McStructure) {
            guide << "  /structure load " << pieceOptions.name << " " << x << " ~ " << z << "\n";
        }
        if (mapItems) {
            MapItem item;
            item.colors = piece.colors;
            item.xCenter = static_cast<std::int32_t>(centreX);
            item.zCenter = static_cast<std::int32_t>(centreZ);
            const fs::path& itemFile = files[art.pieces.size() + 1 + i];
            const GameVersion& version = options.gameVersion != nullptr ? *options.gameVersion : NewestGameVersion();
            if (const std::string failed = WriteMapItemFile(itemFile, item, version); !failed.empty()) {
                report.failure = failed;
                report.status = BlockFileStatus::WriteFailed;
                return report;
            }
            guide << "  the map itself: " << DisplayPath(itemFile.filename())
                  << " (copy it into the world's data folder)\n";
        }
        const BillOfMaterials artBill = CountMaterials(piece.art, palette.fileTable);
        const BillOfMaterials supportBill = SupportBill(palette, piece.supportBlocks);
        std::ostringstream bill;
        PrintBills(bill, artBill, supportBill, blockNames);
        guide << bill.str() << "\n";
        if (!one) bills << "map " << piece.row + 1 << "-" << piece.column + 1 << ":\n" << bill.str() << "\n";
        allArt = i == 0 ? artBill : AddMaterials(allArt, artBill);
        allSupport = i == 0 ? supportBill : AddMaterials(allSupport, supportBill);
    }
    std::ostringstream total;
    PrintBills(total, allArt, allSupport, blockNames);
    if (!one) {
        guide << "all maps:\n" << total.str();
        bills << "all maps:\n";
    }
    bills << total.str();
    report.materials = bills.str();
    report.all = AddMaterials(allArt, allSupport);
    const std::string text = guide.str();
    const WriteOutcome written = ReplaceFile(guideFile, [&](std::FILE* file) {
        return std::fwrite(text.data(), 1, text.size(), file) == text.size();
    });
    if (!written.ok()) {
        report.failure = written.message;
        report.status = BlockFileStatus::WriteFailed;
    }
    return report;
}

}  // namespace tesselbox
