#include "formats/RawDeflate.h"

#include "formats/RawDeflateBuiltIn.h"

namespace tesselbox {

std::span<const PieceDeflater> PieceDeflaters() {
    static constexpr PieceDeflater DEFLATERS[] = {
#ifdef TESSELBOX_WITH_ISAL
        {"ISA-L", DeflatePieceWithIsal},
#endif
        {"zlib", DeflatePieceWithZlib},
    };
    return DEFLATERS;
}

}  // namespace tesselbox
