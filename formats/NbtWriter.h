// A streaming NBT writer, tag by tag, straight into a byte sink: big-endian for Java's files,
// little-endian for Bedrock's. It keeps no tree; the caller writes tags in file order and knows
// every array's length before its elements.
#pragma once

#include "formats/ByteSink.h"

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace tesselbox {

enum class NbtTag : std::uint8_t {
    End = 0, Byte = 1, Short = 2, Int = 3, Long = 4, ByteArray = 7, String = 8, List = 9,
    Compound = 10, IntArray = 11, LongArray = 12,
};

enum class ByteOrder : std::uint8_t { Big, Little };

class NbtWriter {
public:
    explicit NbtWriter(ByteSink& sink, ByteOrder order = ByteOrder::Big) : sink_(sink), order_(order) {}

    void BeginCompound(std::string_view name) { Name(NbtTag::Compound, name); }
    void EndCompound() { sink_.Byte(0); }
    void Byte(std::string_view name, std::uint8_t value) { Name(NbtTag::Byte, name); sink_.Byte(value); }
    void Short(std::string_view name, std::uint16_t value) { Name(NbtTag::Short, name); PutU16(value); }
    void Int(std::string_view name, std::int32_t value) { Name(NbtTag::Int, name); PutI32(value); }
    void Long(std::string_view name, std::int64_t value) { Name(NbtTag::Long, name); PutI64(value); }
    void String(std::string_view name, std::string_view text) { Name(NbtTag::String, name); PutText(text); }
    void IntArray(std::string_view name, std::span<const std::int32_t> values);
    // The header of an array; the caller then writes exactly `length` elements.
    void BeginByteArray(std::string_view name, std::int32_t length) { Name(NbtTag::ByteArray, name); PutI32(length); }
    void BeginIntArray(std::string_view name, std::int32_t length) { Name(NbtTag::IntArray, name); PutI32(length); }
    void BeginLongArray(std::string_view name, std::int32_t length) { Name(NbtTag::LongArray, name); PutI32(length); }
    // A list's header; then `count` payloads of that type (for compounds: members, then EndCompound).
    void BeginList(std::string_view name, NbtTag element, std::int32_t count);
    // A list element's own header, for a list of lists.
    void PutListHeader(NbtTag element, std::int32_t count);

    // Payloads without a name, for array and list elements.
    void PutU16(std::uint16_t value);
    void PutI32(std::int32_t value);
    void PutI64(std::int64_t value);
    void PutU64(std::uint64_t value);
    void PutBytes(const void* data, std::size_t size) { sink_.Write(data, size); }
    // Length and text in Java's modified UTF-8; a text longer than NBT's 65535 bytes is an error.
    void PutText(std::string_view utf8);

    ByteOrder order() const { return order_; }
    bool good() const { return good_ && sink_.good(); }
    const std::string& error() const { return error_.empty() ? sink_.error() : error_; }

private:
    void Name(NbtTag tag, std::string_view name) {
        sink_.Byte(static_cast<std::uint8_t>(tag));
        PutText(name);
    }

    ByteSink& sink_;
    ByteOrder order_;
    bool good_ = true;
    std::string error_;
};

}  // namespace tesselbox
