// Art too large for one structure block, written as pieces that each load alone and join into the
// whole, with a guide saying where each goes.
#pragma once

#include "formats/BlockFile.h"

#include <filesystem>
#include <string>
#include <vector>

namespace tesselbox::cli {

struct PiecesReport {
    std::vector<std::string> failures;  // each names the file and the reason
    std::vector<std::string> notes;
};

// Pieces of at most side x side blocks, NAME-ROW-COL.EXT beside target (ROW from the top of the
// picture, COL from its left, both from 1), and NAME-pieces.txt: each piece's offset from the
// first piece's corner, the command that places it and its blocks, then the blocks of the whole.
// blockNames as for PrintMaterials. Nothing is written when the art as a whole is refused.
PiecesReport WritePieces(const std::filesystem::path& target, const BlockFileSource& source,
                         const BlockFileOptions& options, std::uint32_t side,
                         const std::vector<std::string>& blockNames);

}  // namespace tesselbox::cli
