#include "formats/RawDeflateBuiltIn.h"

#include <zlib.h>

namespace tesselbox {

bool DeflatePieceWithZlib(const std::uint8_t* data, std::size_t size, bool last, std::vector<std::uint8_t>& out) {
    z_stream stream{};
    // The fastest level: block files are large and mostly read once. windowBits -15: raw deflate.
    if (deflateInit2(&stream, Z_BEST_SPEED, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) != Z_OK) return false;
    const std::size_t start = out.size();
    out.resize(start + deflateBound(&stream, static_cast<uLong>(size)) + 16);
    stream.next_in = const_cast<std::uint8_t*>(data);  // zlib's API predates const
    stream.avail_in = static_cast<uInt>(size);
    stream.next_out = out.data() + start;
    stream.avail_out = static_cast<uInt>(out.size() - start);
    const int result = deflate(&stream, last ? Z_FINISH : Z_SYNC_FLUSH);
    const bool ok = result == (last ? Z_STREAM_END : Z_OK) && stream.avail_in == 0 && stream.avail_out != 0;
    out.resize(out.size() - stream.avail_out);
    const int ended = deflateEnd(&stream);
    return ok && (ended == Z_OK || (!last && ended == Z_DATA_ERROR));
}

}  // namespace tesselbox
