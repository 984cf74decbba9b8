// Raw deflate (RFC 1951) in pieces that join into one stream. Every piece but the last ends on a
// byte boundary without ending the stream (a sync flush); the last ends it. Pieces made apart, on
// as many threads as there are, so join into one stream that any inflater reads.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

namespace tesselbox {

struct PieceDeflater {
    std::string_view name;
    // Appends the deflated piece to `out`; false when the compressor failed.
    bool (*deflate)(const std::uint8_t* data, std::size_t size, bool last, std::vector<std::uint8_t>& out);
};

// The compressors this build has, the fastest first; gzip output uses the first.
std::span<const PieceDeflater> PieceDeflaters();

}  // namespace tesselbox
