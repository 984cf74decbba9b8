#include "formats/RawDeflateBuiltIn.h"

#include <isa-l/igzip_lib.h>

#include <memory>

namespace tesselbox {

bool DeflatePieceWithIsal(const std::uint8_t* data, std::size_t size, bool last, std::vector<std::uint8_t>& out) {
    // Level 2 matches zlib's fastest level in size on block data at a fifth of its time.
    constexpr std::size_t LEVEL_BUFFER = ISAL_DEF_LVL2_DEFAULT;
    const auto levelBuffer = std::make_unique_for_overwrite<std::uint8_t[]>(LEVEL_BUFFER);
    isal_zstream stream;
    isal_deflate_init(&stream);
    stream.level = 2;
    stream.level_buf = levelBuffer.get();
    stream.level_buf_size = LEVEL_BUFFER;
    stream.gzip_flag = IGZIP_DEFLATE;
    stream.flush = SYNC_FLUSH;
    stream.end_of_stream = last ? 1 : 0;
    stream.next_in = const_cast<std::uint8_t*>(data);  // read only; ISA-L's API predates const
    stream.avail_in = static_cast<std::uint32_t>(size);
    const std::size_t start = out.size();
    // Stored blocks are the worst case: 5 bytes a 64 KiB, and the headers around them.
    std::size_t capacity = size + size / 1024 + 1024;
    while (true) {
        const std::size_t written = out.size() - start;
        out.resize(start + capacity);
        stream.next_out = out.data() + start + written;
        stream.avail_out = static_cast<std::uint32_t>(capacity - written);
        if (isal_deflate(&stream) != COMP_OK) return false;
        out.resize(out.size() - stream.avail_out);
        // igzip stops only when the input is used up and flushed or the output is full, so room
        // left over means done, or a failure: never a loop.
        if (stream.avail_out != 0) {
            return stream.avail_in == 0 && (!last || stream.internal_state.state == ZSTATE_END);
        }
        capacity *= 2;
    }
}

}  // namespace tesselbox
