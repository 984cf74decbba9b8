// The block color table and the "Colors.txt" reader.
#pragma once

#include "palette/Pixel.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

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
    // The block state a named line gives ("minecraft:oak_log[axis=y]"); empty for an id:data entry,
    // whose blockIds and blockData then hold the block.
    std::array<std::string, MAX_COLORS> blockStates{};
};

// Whether any entry names its block instead of giving an id:data (which a .schematic needs).
bool HasNamedEntries(const ColorTable& table);

enum class ColorTableStatus { Ok, CannotOpen, NoEntry, BadLine };

struct ColorTableLoad {
    ColorTableStatus status = ColorTableStatus::NoEntry;
    // Accepted pieces beyond MAX_COLORS, which are left out.
    std::size_t ignoredEntries = 0;
    std::string message;  // English, for the command line; empty when Ok
    // Remarks that do not stop the reading, each naming the file and line (a name repeated with
    // another color).
    std::vector<std::string> notes;
    bool ok() const { return status == ColorTableStatus::Ok; }
};

// Incremental reader: feed the file's raw bytes in any chunks, then Finish. Reads them the way a
// text-mode stream does on Windows (CR LF is LF, a lone CR is a character, 0x1A ends the file) and
// parses pieces of at most 99 characters with the rules of "%d,%d,%d,%d,%d", each number modulo 256.
// A piece that starts with a namespaced name ("minecraft:stone" or "minecraft:oak_log[axis=y]",
// then a comma or the end of the piece) is a named line: the name, then red, green and blue by the
// same number rules, then the rest as a name; a fault in it stops the table (BadLine).
class ColorTableReader {
public:
    explicit ColorTableReader(ColorTable& table);
    void Feed(std::string_view bytes);
    void Finish();
    bool Ended() const { return ended_; }  // 0x1A seen: further bytes are ignored
    std::size_t IgnoredEntries() const { return ignored_; }
    const std::string& Error() const { return error_; }  // "line 4: ..."; empty while none

private:
    void PutChar(char c);
    void EndPiece();
    void ReadNamedPiece(std::string_view text, std::size_t at);

    ColorTable& table_;
    std::array<char, 100> piece_{};
    std::size_t pieceLength_ = 0;
    std::int32_t line_ = 1;       // the line the next character is on
    std::int32_t pieceLine_ = 1;  // the line the current piece started on
    bool pendingCarriageReturn_ = false;
    bool ended_ = false;
    std::size_t ignored_ = 0;
    std::string error_;
};

// Where a message finds entry i: "color table line 12", or "color table entry 3" for a table not
// read from text.
std::string TableEntryPlace(const ColorTable& table, std::size_t i);

// The table as the text of a color table file that reads back as the same entries: an
// "id,data,red,green,blue" line per numbered entry and a "minecraft:name,red,green,blue,name" line
// per named one, in order.
std::string ColorTableText(const ColorTable& table);

// Fills an empty table from bytes already in memory.
ColorTableLoad ParseColorTable(std::string_view bytes, ColorTable& table);
// Fills an empty table from a file; a folder or unreadable file is CannotOpen.
ColorTableLoad LoadColorTableFile(const std::filesystem::path& path, ColorTable& table);
// Reads "Colors.txt" from the current directory; true when the table holds an entry.
bool LoadColorTable(ColorTable& table);

}  // namespace tesselbox
