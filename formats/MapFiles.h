// Map art written one file per map, each building and copying alone, with a guide saying where
// each map goes and what it takes, and on request the finished maps as map items.
#pragma once

#include "formats/BlockFile.h"
#include "palette/Materials.h"
#include "palette/MapArtBlocks.h"

#include <filesystem>
#include <string>
#include <vector>

namespace tesselbox {

// A piece's blocks, fileTable entries in cells: x 128, z 129 (z = 0 the reference row), y its layers.
BlockVolume PieceVolume(const MapPiece& piece, const MapPalette& palette, std::vector<std::int32_t>& cells);

struct MapFilesReport {
    std::string failure;  // names the file and the reason; empty when every file was written
    BlockFileStatus status = BlockFileStatus::Ok;  // the block file's refusal, or WriteFailed for the others
    std::string materials;  // the blocks of each map and of all, the support blocks apart, as printed
    BillOfMaterials all;    // every block
    bool ok() const { return failure.empty(); }
};

// The art's blocks, the support and reference blocks apart, summed over every map.
struct MapMaterials {
    BillOfMaterials art;
    BillOfMaterials support;
};
MapMaterials CountMapMaterials(const MapArt& art, const MapPalette& palette);

// Every file WriteMapFiles writes for this art in that format: the pieces in their order, the
// guide, then with mapItems the map items.
std::vector<std::filesystem::path> MapFileNames(const std::filesystem::path& target, const MapArt& art,
                                                BlockFileFormat format, bool mapItems);

// One map: target itself; several: NAME-map-ROW-COL.EXT beside target (from 1, ROW from the
// north). Always NAME-maps.txt; with mapItems map_N.dat (N from 0, row by row). blockNames as for
// PrintMaterials. Every piece is checked before the first is written, so a refusal leaves every
// file as it was.
MapFilesReport WriteMapFiles(const std::filesystem::path& target, const MapArt& art, const MapPalette& palette,
                             const BlockFileOptions& options, bool mapItems, const std::vector<std::string>& blockNames);

}  // namespace tesselbox
