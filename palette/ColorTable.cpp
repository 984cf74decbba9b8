// Reads "Colors.txt" as an fgets/sscanf loop on a Windows text-mode stream does,
// without relying on the host's stdio (glibc has no text mode and saturates on overflow).
#include "palette/ColorTable.h"

#include "fileio/OpenFile.h"

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
    ++table_.count;
}

namespace {

ColorTableLoad Outcome(const ColorTable& table, std::size_t ignored, const std::string& source) {
    ColorTableLoad load;
    load.ignoredEntries = ignored;
    if (table.count > 0) {
        load.status = ColorTableStatus::Ok;
    } else {
        load.status = ColorTableStatus::NoEntry;
        load.message = source + ": no line starts with five numbers \"id,data,red,green,blue\"";
    }
    return load;
}

}  // namespace

ColorTableLoad ParseColorTable(std::string_view bytes, ColorTable& table) {
    ColorTableReader reader(table);
    reader.Feed(bytes);
    reader.Finish();
    return Outcome(table, reader.IgnoredEntries(), "color table");
}

ColorTableLoad LoadColorTableFile(const std::filesystem::path& path, ColorTable& table) {
    const std::string shown = DisplayPath(path);
    std::error_code error;
    if (std::filesystem::is_directory(path, error)) {
        return {ColorTableStatus::CannotOpen, 0, shown + ": is a folder, not a color table file"};
    }
    std::string why;
    FileHandle file(OpenFileToRead(path, why));
    if (!file) return {ColorTableStatus::CannotOpen, 0, shown + ": cannot be opened for reading: " + why};

    ColorTableReader reader(table);
    char buffer[1 << 16];
    while (!reader.Ended()) {
        const std::size_t got = std::fread(buffer, 1, sizeof buffer, file.get());
        if (got == 0) break;  // end of file, or a read error: both end the reading
        reader.Feed(std::string_view(buffer, got));
    }
    reader.Finish();
    return Outcome(table, reader.IgnoredEntries(), shown);
}

bool LoadColorTable(ColorTable& table) { return LoadColorTableFile("Colors.txt", table).ok(); }

}  // namespace tesselbox
