#include "formats/NbtWriter.h"

namespace tesselbox {

namespace {

// The low `size` bytes of value in the writer's order.
void PutOrdered(ByteSink& sink, ByteOrder order, std::uint64_t value, int size) {
    std::uint8_t bytes[8] = {};  // zeroed for cppcheck 2.17, which cannot tell the loop fills what is written
    for (int i = 0; i < size; ++i) {
        const int shift = 8 * (order == ByteOrder::Big ? size - 1 - i : i);
        bytes[i] = static_cast<std::uint8_t>(value >> shift);
    }
    sink.Write(bytes, static_cast<std::size_t>(size));
}

}  // namespace

void NbtWriter::PutU16(std::uint16_t value) { PutOrdered(sink_, order_, value, 2); }

void NbtWriter::PutI32(std::int32_t value) { PutOrdered(sink_, order_, static_cast<std::uint32_t>(value), 4); }

void NbtWriter::PutU64(std::uint64_t value) { PutOrdered(sink_, order_, value, 8); }

void NbtWriter::PutI64(std::int64_t value) { PutU64(static_cast<std::uint64_t>(value)); }

void NbtWriter::IntArray(std::string_view name, std::span<const std::int32_t> values) {
    BeginIntArray(name, static_cast<std::int32_t>(values.size()));
    for (std::int32_t value : values) PutI32(value);
}

void NbtWriter::BeginList(std::string_view name, NbtTag element, std::int32_t count) {
    Name(NbtTag::List, name);
    PutListHeader(element, count);
}

void NbtWriter::PutListHeader(NbtTag element, std::int32_t count) {
    sink_.Byte(static_cast<std::uint8_t>(element));
    PutI32(count);
}

void NbtWriter::PutText(std::string_view utf8) {
    // Modified UTF-8 differs from UTF-8 only in NUL (two bytes) and in characters beyond U+FFFF
    // (a surrogate pair, three bytes each).
    std::string text;
    text.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        const auto lead = static_cast<std::uint8_t>(utf8[i]);
        if (lead == 0) {
            text += "\xC0\x80";
        } else if (lead >= 0xF0 && i + 3 < utf8.size()) {
            const std::uint32_t code = (std::uint32_t{lead} & 0x07u) << 18 |
                                       (static_cast<std::uint32_t>(static_cast<std::uint8_t>(utf8[i + 1])) & 0x3Fu) << 12 |
                                       (static_cast<std::uint32_t>(static_cast<std::uint8_t>(utf8[i + 2])) & 0x3Fu) << 6 |
                                       (static_cast<std::uint32_t>(static_cast<std::uint8_t>(utf8[i + 3])) & 0x3Fu);
            const std::uint32_t offset = code - 0x10000u;
            for (const std::uint32_t unit : {0xD800u + (offset >> 10), 0xDC00u + (offset & 0x3FFu)}) {
                text += static_cast<char>(0xE0u | (unit >> 12));
                text += static_cast<char>(0x80u | ((unit >> 6) & 0x3Fu));
                text += static_cast<char>(0x80u | (unit & 0x3Fu));
            }
            i += 3;
        } else {
            text += static_cast<char>(lead);
        }
    }
    if (text.size() > 0xFFFF) {
        if (good_) error_ = "a text of " + std::to_string(text.size()) + " bytes is longer than NBT's 65535";
        good_ = false;
        return;
    }
    PutU16(static_cast<std::uint16_t>(text.size()));
    sink_.Write(text.data(), text.size());
}

}  // namespace tesselbox
