// Reads "Colors.txt" as an fgets/sscanf loop on a Windows text-mode stream does,
// without relying on the host's stdio (glibc has no text mode and saturates on overflow).
#include "palette/ColorTable.h"

#include "fileio/OpenFile.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <system_error>

namespace tesselbox {
namespace {

constexpr std::size_t PIECE_CHARS = 99;  // fgets into a 100-byte buffer
constexpr char END_OF_FILE_MARK = '\x1A';

bool IsCSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// One "%d": white space, optional sign, one or more digits. Keeps only the value modulo 256,
// which two's-complement wrap-around keeps exact whatever the number of digits.
bool ScanNumber(std::string_view text, std::size_t& at, std::uint8_t& value) {
    while (at < text.size() && IsCSpace(text[at])) ++at;
    bool negative = false;
    if (at < text.size() && (text[at] == '+' || text[at] == '-')) {
        negative = text[at] == '-';
        ++at;
    }
    if (at >= text.size() || !IsDigit(text[at])) return false;
    std::uint8_t low = 0;
    while (at < text.size() && IsDigit(text[at])) {
        low = static_cast<std::uint8_t>(low * 10u + static_cast<unsigned>(text[at] - '0'));
        ++at;
    }
    value = negative ? static_cast<std::uint8_t>(0u - low) : low;
    return true;
}

bool IsNameStart(char c) { return c >= 'a' && c <= 'z'; }
bool IsNamespaceChar(char c) { return IsNameStart(c) || IsDigit(c) || c == '_' || c == '.' || c == '-'; }
bool IsPathChar(char c) { return IsNamespaceChar(c) || c == '/'; }
bool IsPropertyChar(char c) { return IsNameStart(c) || IsDigit(c) || c == '_'; }

// Where a namespaced block name starting at `at` ends ("minecraft:stone" then '[', ',' or the end
// of the piece's text), or 0 when the piece is no named line: those are skipped as always.
std::size_t NamedLineNameEnd(std::string_view text, std::size_t at) {
    if (at >= text.size() || !IsNameStart(text[at])) return 0;
    while (at < text.size() && IsNamespaceChar(text[at])) ++at;
    if (at >= text.size() || text[at] != ':') return 0;
    const std::size_t pathStart = ++at;
    while (at < text.size() && IsPathChar(text[at])) ++at;
    if (at == pathStart) return 0;
    std::size_t after = at;
    while (after < text.size() && IsCSpace(text[after])) ++after;
    if (after < text.size() && text[at] != '[' && text[at] != ',') return 0;
    return at;
}

// Checks "[key=value,...]" at text[at] and moves past it; the reason when it is malformed.
std::string ScanProperties(std::string_view text, std::size_t& at) {
    const std::size_t close = text.find(']', at);
    if (close == std::string_view::npos) return "the properties after the name are not closed with ]";
    std::string_view inside = text.substr(at + 1, close - at - 1);
    at = close + 1;
    if (inside.empty()) return "[] names no property; leave the brackets out";
    while (true) {
        const std::size_t comma = std::min(inside.find(','), inside.size());
        const std::string_view pair = inside.substr(0, comma);
        const std::size_t equals = pair.find('=');
        const auto wellFormed = [](std::string_view word) {
            return !word.empty() && std::all_of(word.begin(), word.end(), IsPropertyChar);
        };
        if (equals == std::string_view::npos || !wellFormed(pair.substr(0, equals)) ||
            !wellFormed(pair.substr(equals + 1))) {
            return "the property \"" + std::string(pair) + "\" is not key=value (lower-case letters, digits, _)";
        }
        if (comma == inside.size()) return {};
        inside.remove_prefix(comma + 1);
    }
}

std::string TrimmedName(std::string_view rest) {
    std::size_t begin = 0;
    while (begin < rest.size() && (IsCSpace(rest[begin]) || rest[begin] == ',')) ++begin;
    std::size_t end = rest.size();
    while (end > begin && IsCSpace(rest[end - 1])) --end;
    return std::string(rest.substr(begin, end - begin));
}

}  // namespace

ColorTableReader::ColorTableReader(ColorTable& table) : table_(table) {}

void ColorTableReader::Feed(std::string_view bytes) {
    for (char c : bytes) {
        if (ended_) return;
        if (pendingCarriageReturn_) {
            pendingCarriageReturn_ = false;
            if (c == '\n') {
                PutChar('\n');
                continue;
            }
            PutChar('\r');
        }
        if (c == END_OF_FILE_MARK) {
            ended_ = true;
            return;
        }
        if (c == '\r') {
            pendingCarriageReturn_ = true;
            continue;
        }
        PutChar(c);
    }
}

void ColorTableReader::Finish() {
    if (pendingCarriageReturn_ && !ended_) PutChar('\r');
    pendingCarriageReturn_ = false;
    ended_ = true;
    if (pieceLength_ > 0) EndPiece();
}

void ColorTableReader::PutChar(char c) {
    if (pieceLength_ == 0) pieceLine_ = line_;
    if (c == '\n') ++line_;
    piece_[pieceLength_++] = c;
    if (c == '\n' || pieceLength_ == PIECE_CHARS) EndPiece();
}

void ColorTableReader::EndPiece() {
    // sscanf stops at the first NUL, which fgets keeps inside the piece.
    std::string_view text(piece_.data(), pieceLength_);
    text = text.substr(0, text.find('\0'));
    pieceLength_ = 0;

    std::size_t start = 0;
    // A byte order mark before the first line's name, as Notepad writes it.
    if (pieceLine_ == 1 && table_.count == 0 && text.starts_with("\xEF\xBB\xBF")) start = 3;
    while (start < text.size() && (text[start] == ' ' || text[start] == '\t')) ++start;
    if (NamedLineNameEnd(text, start) != 0) {
        if (error_.empty()) ReadNamedPiece(text, start);
        return;
    }

    std::uint8_t fields[5] = {};
    std::size_t at = 0;
    for (int i = 0; i < 5; ++i) {
        if (i > 0) {
            if (at >= text.size() || text[at] != ',') return;
            ++at;
        }
        if (!ScanNumber(text, at, fields[i])) return;
    }
    if (table_.count >= MAX_COLORS) {
        ++ignored_;
        return;
    }
    const auto i = static_cast<std::size_t>(table_.count);
    table_.blockIds[i] = fields[0];
    table_.blockData[i] = fields[1];
    table_.colors[i] = MakePixel(fields[2], fields[3], fields[4], 255);
    table_.names[i] = TrimmedName(text.substr(at));
    table_.lines[i] = pieceLine_;
    table_.blockStates[i].clear();
    ++table_.count;
}

void ColorTableReader::ReadNamedPiece(std::string_view text, std::size_t at) {
    const std::size_t nameStart = at;
    at = NamedLineNameEnd(text, at);
    const std::string line = "line " + std::to_string(pieceLine_) + ": ";
    if (at < text.size() && text[at] == '[') {
        const std::string why = ScanProperties(text, at);
        if (!why.empty()) {
            error_ = line + why;
            return;
        }
    }
    const std::string_view state = text.substr(nameStart, at - nameStart);
    std::uint8_t rgb[3] = {};
    for (std::uint8_t& channel : rgb) {
        const bool comma = at < text.size() && text[at] == ',';
        if (comma) ++at;
        if (!comma || !ScanNumber(text, at, channel)) {
            error_ = line + std::string(state) + " needs red, green and blue after it: \"" +
                     std::string(state) + ",red,green,blue[,name]\"";
            return;
        }
    }
    if (table_.count >= MAX_COLORS) {
        ++ignored_;
        return;
    }
    const auto i = static_cast<std::size_t>(table_.count);
    table_.blockIds[i] = 0;
    table_.blockData[i] = 0;
    table_.colors[i] = MakePixel(rgb[0], rgb[1], rgb[2], 255);
    table_.names[i] = TrimmedName(text.substr(at));
    table_.lines[i] = pieceLine_;
    table_.blockStates[i] = std::string(state);
    ++table_.count;
    return;
}

bool HasNamedEntries(const ColorTable& table) {
    for (std::int32_t i = 0; i < table.count; ++i) {
        if (!table.blockStates[static_cast<std::size_t>(i)].empty()) return true;
    }
    return false;
}

namespace {

ColorTableLoad Outcome(const ColorTable& table, const ColorTableReader& reader, const std::string& source) {
    ColorTableLoad load;
    load.ignoredEntries = reader.IgnoredEntries();
    if (!reader.Error().empty()) {
        load.status = ColorTableStatus::BadLine;
        load.message = source + ": " + reader.Error();
        return load;
    }
    // A block named twice with two colors keeps both; a color as near to both goes to the earlier.
    for (std::size_t i = 0; i < static_cast<std::size_t>(table.count); ++i) {
        if (table.blockStates[i].empty()) continue;
        for (std::size_t j = 0; j < i; ++j) {
            if (table.blockStates[j] != table.blockStates[i]) continue;
            if (table.colors[j] != table.colors[i]) {
                load.notes.push_back(source + ": line " + std::to_string(table.lines[i]) + ": " +
                                     table.blockStates[i] + " is also on line " + std::to_string(table.lines[j]) +
                                     " with another color; both colors place it, and a color as near to both " +
                                     "goes to line " + std::to_string(table.lines[j]));
            }
            break;
        }
    }
    if (table.count > 0) {
        load.status = ColorTableStatus::Ok;
    } else {
        load.status = ColorTableStatus::NoEntry;
        load.message = source + ": no line starts with five numbers \"id,data,red,green,blue\" or with a block name \"minecraft:name,red,green,blue\"";
    }
    return load;
}

}  // namespace

ColorTableLoad ParseColorTable(std::string_view bytes, ColorTable& table) {
    ColorTableReader reader(table);
    reader.Feed(bytes);
    reader.Finish();
    return Outcome(table, reader, "color table");
}

ColorTableLoad LoadColorTableFile(const std::filesystem::path& path, ColorTable& table) {
    const std::string shown = DisplayPath(path);
    std::error_code error;
    if (std::filesystem::is_directory(path, error)) {
        return {ColorTableStatus::CannotOpen, 0, shown + ": is a folder, not a color table file", {}};
    }
    std::string why;
    FileHandle file(OpenFileToRead(path, why));
    if (!file) return {ColorTableStatus::CannotOpen, 0, shown + ": cannot be opened for reading: " + why, {}};

    ColorTableReader reader(table);
    char buffer[1 << 16];
    while (!reader.Ended()) {
        const std::size_t got = std::fread(buffer, 1, sizeof buffer, file.get());
        if (got == 0) break;  // end of file, or a read error: both end the reading
        reader.Feed(std::string_view(buffer, got));
    }
    reader.Finish();
    return Outcome(table, reader, shown);
}

std::string TableEntryPlace(const ColorTable& table, std::size_t i) {
    return "color table " + (table.lines[i] > 0 ? "line " + std::to_string(table.lines[i]) : "entry " + std::to_string(i + 1));
}

bool LoadColorTable(ColorTable& table) { return LoadColorTableFile("Colors.txt", table).ok(); }

std::string ColorTableText(const ColorTable& table) {
    std::string text;
    for (std::size_t i = 0; i < static_cast<std::size_t>(table.count); ++i) {
        const Pixel color = table.colors[i];
        const std::string& state = table.blockStates[i];
        text += state.empty() ? std::to_string(table.blockIds[i]) + ',' + std::to_string(table.blockData[i]) : state;
        for (const unsigned channel : {unsigned{RedOf(color)}, unsigned{GreenOf(color)}, unsigned{BlueOf(color)}}) {
            text += ',' + std::to_string(channel);
        }
        if (!state.empty() && !table.names[i].empty()) text += ',' + table.names[i];
        text += '\n';
    }
    return text;
}

}  // namespace tesselbox
