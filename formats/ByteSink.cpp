#include "formats/ByteSink.h"

#include "formats/RawDeflate.h"

#include <zlib.h>
#ifdef TESSELBOX_WITH_ISAL
#include <isa-l/crc.h>
#endif

#include <algorithm>
#include <cstring>
#include <deque>
#include <future>
#include <system_error>
#include <thread>

namespace tesselbox {

ByteSink::ByteSink(std::size_t bufferBytes) : buffer_(bufferBytes) {}

void ByteSink::Write(const void* data, std::size_t size) {
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    while (good_ && size > 0) {
        if (used_ == buffer_.size()) {
            if (!Flush(buffer_.data(), used_, false)) good_ = false;
            used_ = 0;
            continue;
        }
        const std::size_t take = std::min(size, buffer_.size() - used_);
        std::memcpy(buffer_.data() + used_, bytes, take);
        used_ += take;
        bytes += take;
        size -= take;
    }
}

bool ByteSink::Finish() {
    if (good_ && !finished_) {
        finished_ = true;
        if (!Flush(buffer_.data(), used_, true)) good_ = false;
        used_ = 0;
    }
    return good_;
}

void ByteSink::Fail(std::string message) {
    if (error_.empty()) error_ = std::move(message);
    good_ = false;
}

namespace {

class StreamSink final : public ByteSink {
public:
    explicit StreamSink(std::FILE* stream) : stream_(stream) {}

protected:
    bool Flush(const std::uint8_t* data, std::size_t size, bool) override {
        if (size > 0 && std::fwrite(data, 1, size, stream_) != size) {
            Fail("could not write");
            return false;
        }
        return true;
    }

private:
    std::FILE* stream_;
};

// One piece of the gzip member: its input, its raw deflate bytes and the CRC-32 of its input. A
// piece written out comes back for the next input, so its memory is not asked for again.
struct GzipPiece {
    std::vector<std::uint8_t> input;
    std::vector<std::uint8_t> deflated;
    uLong crc = 0;
    uLong inputSize = 0;
    std::string error;
};

uLong Crc32(const std::uint8_t* data, std::size_t size) {
#ifdef TESSELBOX_WITH_ISAL
    return crc32_gzip_refl(0, data, size);  // the same CRC as zlib's, several times as fast
#else
    return crc32(crc32(0L, Z_NULL, 0), data, static_cast<uInt>(size));
#endif
}

GzipPiece DeflatePiece(GzipPiece piece, bool last) {
    piece.inputSize = static_cast<uLong>(piece.input.size());
    piece.crc = Crc32(piece.input.data(), piece.input.size());
    piece.deflated.clear();
    piece.error.clear();
    if (!PieceDeflaters().front().deflate(piece.input.data(), piece.input.size(), last, piece.deflated)) {
        piece.error = "gzip compression failed";
    }
    return piece;
}

class GzipSink final : public ByteSink {
public:
    explicit GzipSink(std::FILE* stream)
        : ByteSink(PIECE_BYTES), stream_(stream), inFlight_(std::max(1u, std::thread::hardware_concurrency())) {
        // ID1 ID2, deflate, no flags, no time, no extra flags, unknown system.
        const std::uint8_t header[10] = {0x1F, 0x8B, 8, 0, 0, 0, 0, 0, 0, 0xFF};
        Put(header, sizeof header);
    }
    ~GzipSink() override {
        for (auto& pending : pending_) pending.wait();
    }
    GzipSink(const GzipSink&) = delete;
    GzipSink& operator=(const GzipSink&) = delete;

protected:
    bool Flush(const std::uint8_t* data, std::size_t size, bool last) override {
        GzipPiece piece;
        if (!spare_.empty()) {
            piece = std::move(spare_.back());
            spare_.pop_back();
        }
        piece.input.assign(data, data + size);
        try {
            pending_.push_back(std::async(std::launch::async, DeflatePiece, std::move(piece), last));
        } catch (const std::system_error&) {  // no thread to be had: compress here
            std::promise<GzipPiece> done;
            GzipPiece here;
            here.input.assign(data, data + size);
            done.set_value(DeflatePiece(std::move(here), last));
            pending_.push_back(done.get_future());
        }
        while (pending_.size() > (last ? 0 : inFlight_)) {
            if (!WriteOldest()) return false;
        }
        if (last) {
            std::uint8_t trailer[8];
            for (int i = 0; i < 4; ++i) {
                trailer[i] = static_cast<std::uint8_t>(crc_ >> (8 * i));
                trailer[4 + i] = static_cast<std::uint8_t>(size_ >> (8 * i));  // the size modulo 2^32
            }
            Put(trailer, sizeof trailer);
        }
        return ok_;
    }

private:
    static constexpr std::size_t PIECE_BYTES = std::size_t{1} << 20;

    bool WriteOldest() {
        GzipPiece piece = pending_.front().get();
        pending_.pop_front();
        if (!piece.error.empty()) {
            Fail(piece.error);
            ok_ = false;
            return false;
        }
        crc_ = crc32_combine(crc_, piece.crc, static_cast<z_off_t>(piece.inputSize));
        size_ += piece.inputSize;
        Put(piece.deflated.data(), piece.deflated.size());
        spare_.push_back(std::move(piece));
        return ok_;
    }
    void Put(const std::uint8_t* data, std::size_t size) {
        if (ok_ && size > 0 && std::fwrite(data, 1, size, stream_) != size) {
            Fail("could not write");
            ok_ = false;
        }
    }

    std::FILE* stream_;
    std::size_t inFlight_;
    std::deque<std::future<GzipPiece>> pending_;
    std::vector<GzipPiece> spare_;  // written out, their memory kept for the next pieces
    uLong crc_ = crc32(0L, Z_NULL, 0);
    std::uint64_t size_ = 0;
    bool ok_ = true;
};

class MemorySink final : public ByteSink {
public:
    explicit MemorySink(std::string& out) : out_(out) {}

protected:
    bool Flush(const std::uint8_t* data, std::size_t size, bool) override {
        out_.append(reinterpret_cast<const char*>(data), size);
        return true;
    }

private:
    std::string& out_;
};

}  // namespace

std::unique_ptr<ByteSink> MakeStreamSink(std::FILE* stream) { return std::make_unique<StreamSink>(stream); }
std::unique_ptr<ByteSink> MakeGzipSink(std::FILE* stream) { return std::make_unique<GzipSink>(stream); }
std::unique_ptr<ByteSink> MakeMemorySink(std::string& out) { return std::make_unique<MemorySink>(out); }

}  // namespace tesselbox
