// The block color table and the "Colors.txt" reader.
#pragma once

#include "palette/Pixel.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

namespace tesselbox {

inline constexpr int MAX_COLORS = 1000;

// Three parallel arrays indexed alike; entry i comes from the (i+1)-th accepted piece.
struct ColorTable {
    std::array<Pixel, MAX_COLORS> colors{};  // alpha always 255
    std::array<std::uint8_t, MAX_COLORS> blockIds{};
    std::array<std::uint8_t, MAX_COLORS> blockData{};
    std::int32_t count = 0;
    // What follows the five numbers on the entry's piece, trimmed ("Red Wool" in
    // "35,14,161,39,35,Red Wool"); only the command line's bill of materials shows it.
    std::array<std::string, MAX_COLORS> names{};
    // The file line each entry's piece starts on, from 1; 0 for a table not read from text.
    std::array<std::int32_t, MAX_COLORS> lines{};
};

enum class ColorTableStatus { Ok, CannotOpen, NoEntry };

struct ColorTableLoad {
    ColorTableStatus status = ColorTableStatus::NoEntry;
    // Accepted pieces beyond MAX_COLORS, which are left out.
    std::size_t ignoredEntries = 0;
    std::string message;  // English, for the command line; empty when Ok
    bool ok() const { return status == ColorTableStatus::Ok; }
};

// Incremental reader: feed the file's raw bytes in any chunks, then Finish. Reads them the way a
// text-mode stream does on Windows (CR LF is LF, a lone CR is a character, 0x1A ends the file) and
// parses pieces of at most 99 characters with the rules of "%d,%d,%d,%d,%d", each number modulo 256.
class ColorTableReader {
public:
    explicit ColorTableReader(ColorTable& table);
    void Feed(std::string_view bytes);
    void Finish();
    bool Ended() const { return ended_; }  // 0x1A seen: further bytes are ignored
    std::size_t IgnoredEntries() const { return ignored_; }

private:
    void PutChar(char c);
    void EndPiece();

    ColorTable& table_;
    std::array<char, 100> piece_{};
    std::size_t pieceLength_ = 0;
    std::int32_t line_ = 1;       // the line the next character is on
    std::int32_t pieceLine_ = 1;  // the line the current piece started on
    bool pendingCarriageReturn_ = false;
    bool ended_ = false;
    std::size_t ignored_ = 0;
};

// Fills an empty table from bytes already in memory.
ColorTableLoad ParseColorTable(std::string_view bytes, ColorTable& table);
// Fills an empty table from a file; a folder or unreadable file is CannotOpen.
ColorTableLoad LoadColorTableFile(const std::filesystem::path& path, ColorTable& table);
// Reads "Colors.txt" from the current directory; true when the table holds an entry.
bool LoadColorTable(ColorTable& table);

}  // namespace tesselbox
