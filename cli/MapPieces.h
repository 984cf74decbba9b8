// Map art written one file per map, each building and copying alone, with a guide saying where
// each map goes and what it takes, and on request the finished maps as map items.
#pragma once

#include "cli/Materials.h"
#include "cli/Pieces.h"
#include "convert/MapArt.h"
#include "formats/BlockFile.h"

#include <filesystem>
#include <string>
#include <vector>

namespace tesselbox::cli {

// One map: target itself; several: NAME-map-ROW-COL.EXT beside target (from 1, ROW from the
// north). Always NAME-maps.txt; with mapItems map_N.dat (N from 0, row by row). materials gets
// the blocks of each map and of all, the support blocks apart, as printed; all every block. Every piece is checked before the
// first is written, so a refusal leaves every file as it was.
PiecesReport WriteMapPieces(const std::filesystem::path& target, const MapArt& art, const MapPalette& palette,
                            const BlockFileOptions& options, bool mapItems,
                            const std::vector<std::string>& blockNames, std::string& materials,
                            BillOfMaterials& all);

}  // namespace tesselbox::cli
