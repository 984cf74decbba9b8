// Every file of tests/data/bad/palettes, one defect each, read from disk: the table or the failure
// it gives. A file without an expectation here, or an expectation without its file, fails.
#include "palette/ColorTable.h"
#include "tests/support/TempFolder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace tesselbox {
namespace {

namespace fs = std::filesystem;

struct Entry {
    int id, data, red, green, blue;
    friend bool operator==(const Entry&, const Entry&) = default;
};

void PrintTo(const Entry& e, std::ostream* os) {
    *os << e.id << "," << e.data << "," << e.red << "," << e.green << "," << e.blue;
}

Entry EntryAt(const ColorTable& table, std::int32_t i) {
    const auto k = static_cast<std::size_t>(i);
    const Pixel c = table.colors[k];
    return {table.blockIds[k], table.blockData[k], RedOf(c), GreenOf(c), BlueOf(c)};
}

struct Expected {
    ColorTableStatus status;
    std::int32_t count;
    std::size_t ignored;
    std::vector<Entry> first;  // the table's first entries
    std::vector<Entry> last = {};  // and its last ones, for the long files
};

const fs::path BAD_PALETTES = fs::path(TESSELBOX_TEST_DATA) / "bad" / "palettes";

// Expectations by file name. Two inputs are made at test time: a 10 MB file has no place in the
// repository, and git keeps no empty folder.
const std::map<std::string, Expected>& Expectations() {
    static const std::map<std::string, Expected> expected = {
        {"empty.txt", {ColorTableStatus::NoEntry, 0, 0, {}}},
        {"only-words-no-numbers.txt", {ColorTableStatus::NoEntry, 0, 0, {}}},
        // The NUL hides the rest of its piece; a NUL inside the numbers rejects the piece.
        {"nul-bytes.txt", {ColorTableStatus::Ok, 2, 0, {{1, 2, 3, 4, 5}, {11, 12, 13, 14, 15}}}},
        {"ctrl-z-on-second-line-ends-the-file.txt", {ColorTableStatus::Ok, 1, 0, {{1, 2, 3, 4, 5}}}},
        // Line i holds i % 256, i / 256, i % 7, i % 11, i % 13; entries 0 to 999 are kept.
        {"5000-lines.txt",
         {ColorTableStatus::Ok, 1000, 4000, {{0, 0, 0, 0, 0}, {1, 0, 1, 1, 1}}, {{231, 3, 5, 9, 11}}}},
        // Only the last eight digits count: 34567890 % 256 is 210, 99999999 % 256 is 255.
        {"numbers-of-40-digits.txt",
         {ColorTableStatus::Ok, 2, 0, {{210, 46, 1, 2, 3}, {7, 8, 255, 0, 5}}}},
        // The mark's bytes stand before the first number, so the first line is no entry.
        {"named-line-without-a-color.txt", {ColorTableStatus::BadLine, 2, 0, {{1, 2, 3, 4, 5}}}},
        {"utf8-byte-order-mark.txt", {ColorTableStatus::Ok, 1, 0, {{6, 7, 8, 9, 10}}}},
        // Every other byte is NUL: no piece gets past its first character.
        {"utf16-le-byte-order-mark.txt", {ColorTableStatus::NoEntry, 0, 0, {}}},
        {"utf16-be-byte-order-mark.txt", {ColorTableStatus::NoEntry, 0, 0, {}}},
        // A lone CR is no line end: the whole file is one piece, and only its start counts.
        {"classic-mac-carriage-returns-only.txt", {ColorTableStatus::Ok, 1, 0, {{1, 2, 3, 4, 5}}}},
        // "1,2,3,4,5," repeated 10^6 times: 101011 pieces of 99 characters (the last of 10).
        // Piece k starts at character 99k, on a digit exactly when k is even: 50506 entries, of
        // which the first 1000 are kept. Piece 1 starts at character 99, piece 2 at 198.
        {"made at test time: 10-megabyte-single-line.txt",
         {ColorTableStatus::Ok, 1000, 49506, {{1, 2, 3, 4, 5}, {5, 1, 2, 3, 4}}}},
        {"made at test time: Colors.txt (a folder)", {ColorTableStatus::CannotOpen, 0, 0, {}}},
    };
    return expected;
}

class BadPalettes : public ::testing::Test {
protected:
    // The committed files and the ones made here, by their names in Expectations().
    std::map<std::string, fs::path> Inputs() {
        std::map<std::string, fs::path> inputs;
        for (const auto& entry : fs::directory_iterator(BAD_PALETTES)) {
            inputs[entry.path().filename().string()] = entry.path();
        }
        const fs::path big = folder_ / "10-megabyte-single-line.txt";
        {
            std::ofstream out(big, std::ios::binary);
            const std::string repeated = [] {
                std::string s;
                for (int i = 0; i < 1000; ++i) s += "1,2,3,4,5,";
                return s;
            }();
            for (int i = 0; i < 1000; ++i) out << repeated;
        }
        inputs["made at test time: 10-megabyte-single-line.txt"] = big;
        fs::create_directory(folder_ / "Colors.txt");
        inputs["made at test time: Colors.txt (a folder)"] = folder_ / "Colors.txt";
        return inputs;
    }

    testing::TempFolder folder_;
};

TEST_F(BadPalettes, EachFileHasAnExpectationAndEachExpectationAFile) {
    std::set<std::string> files;
    for (const auto& [name, path] : Inputs()) files.insert(name);
    std::set<std::string> expected;
    for (const auto& [name, outcome] : Expectations()) expected.insert(name);
    EXPECT_EQ(files, expected);
}

TEST_F(BadPalettes, LoadAsExpected) {
    for (const auto& [name, path] : Inputs()) {
        const auto found = Expectations().find(name);
        if (found == Expectations().end()) continue;  // reported by the test above
        const Expected& expected = found->second;
        SCOPED_TRACE(name);

        ColorTable table;
        const ColorTableLoad load = LoadColorTableFile(path, table);
        EXPECT_EQ(load.status, expected.status);
        EXPECT_EQ(table.count, expected.count);
        EXPECT_EQ(load.ignoredEntries, expected.ignored);
        EXPECT_EQ(load.message.empty(), load.ok());
        for (std::size_t i = 0; i < expected.first.size() && i < std::size_t(table.count); ++i) {
            EXPECT_EQ(EntryAt(table, std::int32_t(i)), expected.first[i]) << "entry " << i;
        }
        for (std::size_t i = 0; i < expected.last.size() && i < std::size_t(table.count); ++i) {
            const auto at = table.count - std::int32_t(expected.last.size() - i);
            EXPECT_EQ(EntryAt(table, at), expected.last[i]) << "entry " << at;
        }
    }
}

}  // namespace
}  // namespace tesselbox
