// Where the file writers put their bytes: a stream as it is, a stream through gzip, or memory.
// Every sink buffers, and remembers the first failure so writers check once at the end.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace tesselbox {

class ByteSink {
public:
    virtual ~ByteSink() = default;
    void Write(const void* data, std::size_t size);
    void Byte(std::uint8_t value) { Write(&value, 1); }
    // Pushes out what is buffered (and, through gzip, the stream's end); true when all went well.
    bool Finish();
    bool good() const { return good_; }
    const std::string& error() const { return error_; }  // English, empty while good

protected:
    explicit ByteSink(std::size_t bufferBytes = std::size_t{1} << 16);
    // Takes a full or final buffer; returns false with error set on failure.
    virtual bool Flush(const std::uint8_t* data, std::size_t size, bool last) = 0;
    void Fail(std::string message);

private:
    std::vector<std::uint8_t> buffer_;
    std::size_t used_ = 0;
    bool good_ = true;
    bool finished_ = false;
    std::string error_;
};

// Writes into an open stream (the stream stays open).
std::unique_ptr<ByteSink> MakeStreamSink(std::FILE* stream);
// Gzip-compresses into an open stream: one gzip member whose deflate stream is made of 1 MiB
// pieces compressed on all cores at once (each piece ends on a byte boundary, so they join into
// one valid stream) by the build's fastest compressor (formats/RawDeflate.h). The bytes depend on
// neither the number of cores nor the timing.
std::unique_ptr<ByteSink> MakeGzipSink(std::FILE* stream);
// Appends to a string the caller keeps alive.
std::unique_ptr<ByteSink> MakeMemorySink(std::string& out);

}  // namespace tesselbox
