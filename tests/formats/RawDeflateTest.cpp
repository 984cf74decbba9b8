#include "formats/RawDeflate.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace tesselbox {
namespace {

// Inflates a raw deflate stream whole; false unless it ends exactly where the bytes do.
bool Inflate(const std::vector<std::uint8_t>& deflated, std::vector<std::uint8_t>& out) {
    z_stream stream{};
    if (inflateInit2(&stream, -15) != Z_OK) return false;
    stream.next_in = const_cast<std::uint8_t*>(deflated.data());
    stream.avail_in = static_cast<uInt>(deflated.size());
    std::uint8_t buffer[1 << 16];
    int result = Z_OK;
    while (result == Z_OK) {
        stream.next_out = buffer;
        stream.avail_out = sizeof buffer;
        result = inflate(&stream, Z_NO_FLUSH);
        out.insert(out.end(), buffer, buffer + (sizeof buffer - stream.avail_out));
    }
    inflateEnd(&stream);
    return result == Z_STREAM_END && stream.avail_in == 0;
}

enum class Fill { Noise, Zeros, PackedRuns };

std::vector<std::uint8_t> Make(Fill fill, std::size_t size) {
    std::mt19937 random(20261207);
    std::vector<std::uint8_t> bytes(size);
    if (fill == Fill::Noise) {
        for (auto& b : bytes) b = static_cast<std::uint8_t>(random());
    } else if (fill == Fill::PackedRuns) {
        // Block-file-like: 9-bit palette indices in runs, packed across byte boundaries.
        std::uint64_t bits = 0;
        int held = 0;
        std::uint32_t index = 0;
        for (auto& b : bytes) {
            while (held < 8) {
                if (random() % 6 == 0) index = random() % 512;
                bits |= std::uint64_t{index} << held;
                held += 9;
            }
            b = static_cast<std::uint8_t>(bits);
            bits >>= 8;
            held -= 8;
        }
    }
    return bytes;
}

// Every compressor the build has, on inputs cut into pieces deflated apart and joined: zlib's
// inflater must read the one stream back whole, which fails if a piece ended the stream early, left
// bits unaligned, or lost bytes. Sizes that are a multiple of the piece end on an empty last piece.
TEST(RawDeflate, PiecesJoinIntoOneStreamThatInflatesToTheInput) {
    struct Case {
        const char* name;
        Fill fill;
        std::size_t size;
        std::size_t piece;
    };
    const Case cases[] = {
        {"nothing", Fill::Zeros, 0, 1 << 20},
        {"one byte", Fill::Noise, 1, 1 << 20},
        {"noise, stored blocks", Fill::Noise, 300'000, 65'543},
        {"zeros, long matches", Fill::Zeros, (2 << 20) + 1, 1 << 20},
        {"packed runs, empty last piece", Fill::PackedRuns, 3 << 20, 1 << 20},
        {"packed runs, tiny pieces", Fill::PackedRuns, 5'000, 7},
    };
    ASSERT_FALSE(PieceDeflaters().empty());
    for (const PieceDeflater& deflater : PieceDeflaters()) {
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(deflater.name) + ": " + c.name);
            const std::vector<std::uint8_t> input = Make(c.fill, c.size);
            std::vector<std::uint8_t> joined;
            std::size_t at = 0;
            bool last = false;
            while (!last) {
                const std::size_t take = std::min(c.piece, input.size() - at);
                last = at + take == input.size() && (take < c.piece || take == 0);
                std::vector<std::uint8_t> piece;
                ASSERT_TRUE(deflater.deflate(input.data() + at, take, last, piece));
                joined.insert(joined.end(), piece.begin(), piece.end());
                at += take;
            }
            std::vector<std::uint8_t> back;
            ASSERT_TRUE(Inflate(joined, back));
            EXPECT_TRUE(back == input);
            // Compressed at all, and noise not blown up.
            if (c.fill == Fill::Noise && c.size > 1000) {
                EXPECT_LT(joined.size(), c.size + c.size / 100);
            }
            if (c.fill == Fill::Zeros && c.size > 1000) {
                EXPECT_LT(joined.size(), c.size / 100);
            }
        }
    }
}

}  // namespace
}  // namespace tesselbox
