// Fuzzes the color table reader: any bytes of a Colors.txt, parsed whole and fed in random chunks,
// must give the table that a plain reference reading of the same bytes gives, numbered and named
// lines alike.
#include "palette/ColorTable.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstdio>
#include <memory>
#include <regex>
#include <string>
#include <string_view>
#include <vector>

namespace {

using tesselbox::ColorTable;

[[noreturn]] void Fail(const char* what, std::size_t entry = 0) {
    std::fprintf(stderr, "color table check failed: %s (entry %zu)\n", what, entry);
    std::abort();
}

// ---- The reference: the rules written down as plainly as possible ----------------------------

// The file as a Windows text-mode stream hands it out.
std::string TextModeCharacters(std::string_view bytes) {
    std::string text;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (bytes[i] == '\x1A') break;
        if (bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') continue;
        text += bytes[i];
    }
    return text;
}

// What successive fgets calls into a 100-byte buffer return.
std::vector<std::string> Pieces(const std::string& text) {
    std::vector<std::string> pieces;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t lineFeed = text.find('\n', start);
        const std::size_t lineEnd = lineFeed == std::string::npos ? text.size() : lineFeed + 1;
        const std::size_t length = std::min<std::size_t>(lineEnd - start, 99);
        pieces.push_back(text.substr(start, length));
        start += length;
    }
    return pieces;
}

// n mod 256 from the decimal digits: 10^8 is a multiple of 256, so the last eight digits decide.
std::uint8_t Modulo256(const std::string& number) {
    const bool negative = number[0] == '-';
    std::string digits = number[0] == '+' || number[0] == '-' ? number.substr(1) : number;
    if (digits.size() > 8) digits = digits.substr(digits.size() - 8);
    const unsigned long residue = std::stoul(digits) % 256;
    return static_cast<std::uint8_t>(negative ? (256 - residue) % 256 : residue);
}

struct ReferenceEntry {
    std::uint8_t fields[5];
    std::string rest;   // the piece after the fifth number
    std::string state;  // a named line's block; its fields are 0, 0, red, green, blue
};

struct Reference {
    std::vector<ReferenceEntry> entries;
    bool badLine = false;  // a named line that is not name[properties],red,green,blue
};

Reference ReferenceEntries(std::string_view bytes) {
    // A named line: a name first (after a byte order mark only on line 1 before any entry), then
    // '[', ',' or nothing but blanks.
    static const std::regex namedStart(
        "^(\xEF\xBB\xBF)?[ \t]*[a-z][a-z0-9_.-]*:[a-z0-9_./-]+(?=[\\[,]|[ \t\n\v\f\r]*$)");
    static const std::regex named(
        "^(\xEF\xBB\xBF)?[ \t]*([a-z][a-z0-9_.-]*:[a-z0-9_./-]+(\\[[a-z0-9_]+=[a-z0-9_]+(,[a-z0-9_]+=[a-z0-9_]+)*\\])?)"
        ",[ \t\n\v\f\r]*([+-]?[0-9]+),[ \t\n\v\f\r]*([+-]?[0-9]+),[ \t\n\v\f\r]*([+-]?[0-9]+)");
    static const std::regex fiveNumbers(
        "^[ \t\n\v\f\r]*([+-]?[0-9]+),[ \t\n\v\f\r]*([+-]?[0-9]+),[ \t\n\v\f\r]*([+-]?[0-9]+),"
        "[ \t\n\v\f\r]*([+-]?[0-9]+),[ \t\n\v\f\r]*([+-]?[0-9]+)");
    Reference reference;
    std::vector<ReferenceEntry>& entries = reference.entries;
    bool onFirstLine = true;
    for (const std::string& piece : Pieces(TextModeCharacters(bytes))) {
        const std::string text = piece.substr(0, piece.find('\0'));  // sscanf stops at a NUL
        const bool markAllowed = onFirstLine && entries.empty();
        onFirstLine = onFirstLine && piece.find('\n') == std::string::npos;
        std::smatch match;
        if (std::regex_search(text, match, namedStart) && (markAllowed || !match[1].matched)) {
            if (reference.badLine) continue;
            if (!std::regex_search(text, match, named) || (!markAllowed && match[1].matched)) {
                reference.badLine = true;
                continue;
            }
            ReferenceEntry entry{};
            for (int i = 0; i < 3; ++i) entry.fields[2 + i] = Modulo256(match[5 + i].str());
            entry.state = match[2].str();
            entry.rest = match.suffix().str();
            entries.push_back(std::move(entry));
            continue;
        }
        if (!std::regex_search(text, match, fiveNumbers)) continue;
        ReferenceEntry entry{};
        for (int i = 0; i < 5; ++i) entry.fields[i] = Modulo256(match[i + 1].str());
        entry.rest = match.suffix().str();
        entries.push_back(std::move(entry));
    }
    return reference;
}

// ---- Checks -----------------------------------------------------------------------------------

bool IsBlank(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

void CheckAgainstReference(const ColorTable& table, const tesselbox::ColorTableLoad& load,
                           const Reference& reference) {
    if (reference.badLine != (load.status == tesselbox::ColorTableStatus::BadLine)) Fail("bad named line");
    if (reference.badLine) {
        if (load.message.find(": line ") == std::string::npos) Fail("a bad line's message names no line");
        return;
    }
    const std::vector<ReferenceEntry>& expected = reference.entries;
    const std::size_t kept = std::min<std::size_t>(expected.size(), tesselbox::MAX_COLORS);
    if (table.count < 0 || static_cast<std::size_t>(table.count) != kept) Fail("entry count");
    if (load.ignoredEntries != expected.size() - kept) Fail("ignored entries");
    if (load.ok() != (kept > 0)) Fail("status");
    if (load.ok() != load.message.empty()) Fail("message");
    for (std::size_t i = 0; i < kept; ++i) {
        const ReferenceEntry& e = expected[i];
        const tesselbox::Pixel color = table.colors[i];
        if (table.blockIds[i] != e.fields[0] || table.blockData[i] != e.fields[1] ||
            tesselbox::RedOf(color) != e.fields[2] || tesselbox::GreenOf(color) != e.fields[3] ||
            tesselbox::BlueOf(color) != e.fields[4] || tesselbox::AlphaOf(color) != 255 ||
            table.blockStates[i] != e.state) {
            Fail("fields", i);
        }
        // The name is a trimmed part of what follows the numbers.
        const std::string& name = table.names[i];
        if (e.rest.find(name) == std::string::npos) Fail("name not from its piece", i);
        if (!name.empty() && (IsBlank(name.front()) || IsBlank(name.back()) || name.front() == ','))
            Fail("name not trimmed", i);
    }
    for (std::size_t i = kept; i < tesselbox::MAX_COLORS; ++i) {
        if (table.colors[i] != 0 || table.blockIds[i] != 0 || table.blockData[i] != 0 ||
            !table.names[i].empty() || !table.blockStates[i].empty()) {
            Fail("written beyond count", i);
        }
    }
}

void CheckSameTable(const ColorTable& a, const ColorTable& b) {
    if (a.count != b.count) Fail("chunked feeding: entry count");
    for (std::size_t i = 0; i < static_cast<std::size_t>(a.count); ++i) {
        if (a.colors[i] != b.colors[i] || a.blockIds[i] != b.blockIds[i] ||
            a.blockData[i] != b.blockData[i] || a.names[i] != b.names[i] || a.blockStates[i] != b.blockStates[i]) {
            Fail("chunked feeding: entry differs", i);
        }
    }
}

// Chunk sizes from the input itself, so a crash reproduces from its file alone.
std::uint64_t Fnv1a(std::string_view bytes) {
    std::uint64_t hash = 0xcbf29ce484222325u;
    for (char c : bytes) hash = (hash ^ static_cast<unsigned char>(c)) * 0x100000001b3u;
    return hash;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);

    auto whole = std::make_unique<ColorTable>();
    const tesselbox::ColorTableLoad load = tesselbox::ParseColorTable(bytes, *whole);
    CheckAgainstReference(*whole, load, ReferenceEntries(bytes));

    auto chunked = std::make_unique<ColorTable>();
    tesselbox::ColorTableReader reader(*chunked);
    std::uint64_t random = Fnv1a(bytes);
    for (std::size_t at = 0; at < size;) {
        random = random * 6364136223846793005u + 1442695040888963407u;
        // Mostly tiny chunks, where a CR LF pair or a piece is most likely to be cut.
        const std::size_t limit = (random >> 60) < 12 ? 4 : 300;
        const std::size_t length = std::min<std::size_t>(size - at, 1 + (random >> 33) % limit);
        reader.Feed(bytes.substr(at, length));
        at += length;
    }
    reader.Finish();
    if (reader.IgnoredEntries() != load.ignoredEntries) Fail("chunked feeding: ignored entries");
    if (reader.Error().empty() != load.ok() && load.status != tesselbox::ColorTableStatus::NoEntry) {
        Fail("chunked feeding: error");
    }
    CheckSameTable(*whole, *chunked);
    return 0;
}
