#include "formats/ByteSink.h"

#include <zlib.h>

#include <cstring>
#include <limits>

namespace tesselbox {

namespace {
constexpr std::size_t BUFFER_BYTES = std::size_t{1} << 16;
}

ByteSink::ByteSink() : buffer_(BUFFER_BYTES) {}

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

class GzipSink final : public ByteSink {
public:
    explicit GzipSink(std::FILE* stream) : stream_(stream), out_(BUFFER_BYTES) {
        // windowBits 15 + 16: a gzip header and trailer rather than zlib's.
        if (deflateInit2(&zstream_, Z_DEFAULT_COMPRESSION, Z_DEFLATED, 15 + 16, 8,
                         Z_DEFAULT_STRATEGY) != Z_OK) {
            Fail("could not start gzip compression");
        } else {
            started_ = true;
        }
    }
    ~GzipSink() override {
        if (started_) deflateEnd(&zstream_);
    }
    GzipSink(const GzipSink&) = delete;
    GzipSink& operator=(const GzipSink&) = delete;

protected:
    bool Flush(const std::uint8_t* data, std::size_t size, bool last) override {
        if (!started_) return false;
        static_assert(BUFFER_BYTES <= std::numeric_limits<uInt>::max());
        zstream_.next_in = const_cast<Bytef*>(data);  // zlib's API is not const; it does not write
        zstream_.avail_in = static_cast<uInt>(size);
        const int flush = last ? Z_FINISH : Z_NO_FLUSH;
        for (;;) {
            zstream_.next_out = out_.data();
            zstream_.avail_out = static_cast<uInt>(out_.size());
            const int result = deflate(&zstream_, flush);
            const std::size_t produced = out_.size() - zstream_.avail_out;
            // Z_BUF_ERROR means no progress was possible: the input is used up, or, while
            // finishing, the stream is broken.
            if (result == Z_STREAM_ERROR || (result == Z_BUF_ERROR && last && produced == 0)) {
                Fail("gzip compression failed");
                return false;
            }
            if (produced > 0 && std::fwrite(out_.data(), 1, produced, stream_) != produced) {
                Fail("could not write");
                return false;
            }
            if (last ? result == Z_STREAM_END : (zstream_.avail_out != 0 || result == Z_BUF_ERROR)) break;
        }
        return true;
    }

private:
    std::FILE* stream_;
    std::vector<Bytef> out_;
    z_stream zstream_{};
    bool started_ = false;
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
