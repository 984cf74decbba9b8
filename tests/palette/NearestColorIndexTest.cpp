// The fast index against the plain scan: every color for small tables built to tie, a fixed-seed
// sample for full tables. Any difference is a wrong block in somebody's schematic.
#include "palette/ColorMatch.h"
#include "palette/NearestColorIndex.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

namespace tesselbox {
namespace {

#if defined(__SANITIZE_ADDRESS__)
constexpr bool SANITIZED = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool SANITIZED = true;
#else
constexpr bool SANITIZED = false;
#endif
#else
constexpr bool SANITIZED = false;
#endif

#ifdef NDEBUG
constexpr bool OPTIMIZED = !SANITIZED;
#else
constexpr bool OPTIMIZED = false;
#endif

struct Rgb {
    int red, green, blue;
};

ColorTable TableOf(const std::vector<Rgb>& colors) {
    ColorTable table;
    for (const Rgb& c : colors) {
        table.colors[static_cast<std::size_t>(table.count++)] =
            MakePixel(static_cast<std::uint8_t>(c.red), static_cast<std::uint8_t>(c.green),
                      static_cast<std::uint8_t>(c.blue));
    }
    return table;
}

// splitmix64, so the samples are the same with every standard library.
class Random {
public:
    explicit Random(std::uint64_t seed) : state_(seed) {}
    std::uint32_t Next() {
        std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return static_cast<std::uint32_t>((z ^ (z >> 31)) >> 32);
    }
    int Channel() { return static_cast<int>(Next() & 0xFF); }

private:
    std::uint64_t state_;
};

// Colors within `radius` of each entry, clamped to the cube: where ties and near-ties live.
std::vector<Pixel> ColorsAround(const ColorTable& table, int radius) {
    std::vector<Pixel> colors;
    for (std::int32_t i = 0; i < table.count; ++i) {
        const Pixel c = table.colors[static_cast<std::size_t>(i)];
        for (int dr = -radius; dr <= radius; ++dr) {
            for (int dg = -radius; dg <= radius; ++dg) {
                for (int db = -radius; db <= radius; ++db) {
                    colors.push_back(
                        MakePixel(static_cast<std::uint8_t>(std::clamp(RedOf(c) + dr, 0, 255)),
                                  static_cast<std::uint8_t>(std::clamp(GreenOf(c) + dg, 0, 255)),
                                  static_cast<std::uint8_t>(std::clamp(BlueOf(c) + db, 0, 255))));
                }
            }
        }
    }
    return colors;
}

// Adds the colors on which the index and the plain scan differ to `differences`; reports the first.
// Each color is searched alone and as part of one sweep over all, which remembers its last answer.
void Compare(const ColorTable& table, const NearestColorIndex& index,
             const std::vector<Pixel>& colors, int& differences) {
    std::vector<std::int32_t> swept(colors.size());
    index.FindAll(colors.data(), colors.size(), swept.data());
    for (std::size_t i = 0; i < colors.size(); ++i) {
        const Pixel color = colors[i];
        const std::int32_t expected = FindNearestColor(table, color);
        const std::int32_t found = index.Find(color);
        if ((found != expected || swept[i] != expected) && ++differences <= 5) {
            ADD_FAILURE() << "color (" << int{RedOf(color)} << ", " << int{GreenOf(color)} << ", "
                          << int{BlueOf(color)} << "): index " << found << ", in a sweep "
                          << swept[i] << ", the plain scan " << expected;
        }
    }
}

// ---- Small tables, every color ------------------------------------------------------------------

struct SmallTable {
    std::string name;
    std::vector<Rgb> colors;
};

std::vector<Rgb> CubeCorners() {
    std::vector<Rgb> corners;
    for (int k = 7; k >= 0; --k)
        corners.push_back({k & 4 ? 255 : 0, k & 2 ? 255 : 0, k & 1 ? 255 : 0});
    return corners;
}

const SmallTable SMALL_TABLES[] = {
    {"OneEntry", {{200, 10, 77}}},
    {"BlackWhiteGrays", {{0, 0, 0}, {255, 255, 255}, {0, 0, 0}, {127, 127, 127}, {128, 128, 128}}},
    // Equal distances from the middle in every direction, listed out of order, with repeats;
    // the midpoints 15.5 / 16.5 straddle a cell boundary at 16.
    {"StarAroundCellEdge",
     {{16, 16, 18},
      {16, 18, 16},
      {18, 16, 16},
      {16, 16, 14},
      {16, 14, 16},
      {14, 16, 16},
      {18, 16, 16},
      {16, 16, 16}}},
    // Two colors a cell apart: every color on the plane between them ties.
    {"PairTyingOnAPlane", {{100, 40, 200}, {132, 72, 232}, {132, 72, 232}, {100, 40, 200}}},
    // The cube's corners, two of them repeated: colors up to 221 levels from the nearest entry, and
    // later repeats that must never win.
    {"CornersWithDuplicates",
     [] {
         std::vector<Rgb> c = CubeCorners();
         c.insert(c.begin() + 3, Rgb{255, 255, 255});
         c.push_back({0, 0, 0});
         return c;
     }()},
    // Everything beyond 256 levels from both, where shortcuts that narrow distances go wrong; the
    // plane blue = 127 ties, and index 0 is the blue one.
    {"FarPairTying", {{0, 0, 254}, {0, 0, 0}}},
    // Both over 256 levels from the bright corner of the cube, which they split between them.
    {"FarPairSplittingACorner", {{0, 0, 30}, {0, 30, 0}}},
    {"GrayRampAndOneColor",
     {{0, 0, 0},
      {51, 51, 51},
      {102, 102, 102},
      {153, 153, 153},
      {204, 204, 204},
      {255, 255, 255},
      {255, 0, 0},
      {102, 102, 102}}},
};

void PrintTo(const SmallTable& table, std::ostream* out) { *out << table.name; }

class EveryColor : public ::testing::TestWithParam<SmallTable> {};

TEST_P(EveryColor, MatchesThePlainScan) {
    const ColorTable table = TableOf(GetParam().colors);
    const NearestColorIndex index(table);
    int differences = 0;
    std::vector<Pixel> colors;
    if (OPTIMIZED) {
        for (Pixel first = 0; first < (1u << 24); first += 1u << 16) {
            colors.clear();
            for (Pixel color = first; color < first + (1u << 16); ++color)
                colors.push_back(color | 0xFF000000u);
            Compare(table, index, colors, differences);
        }
    } else {
        // Too slow unoptimized: the levels around every cell boundary, where lists change, and
        // the neighbourhood of every entry.
        std::vector<int> levels;
        for (int v = 0; v < 256; ++v) {
            if (v % 16 <= 1 || v % 16 >= 14 || v % 16 == 7) levels.push_back(v);
        }
        for (const int r : levels) {
            for (const int g : levels) {
                for (const int b : levels) {
                    colors.push_back(MakePixel(static_cast<std::uint8_t>(r),
                                               static_cast<std::uint8_t>(g),
                                               static_cast<std::uint8_t>(b)));
                }
            }
        }
        const std::vector<Pixel> around = ColorsAround(table, 3);
        colors.insert(colors.end(), around.begin(), around.end());
        Compare(table, index, colors, differences);
    }
    EXPECT_EQ(differences, 0);
}

INSTANTIATE_TEST_SUITE_P(SmallTables, EveryColor, ::testing::ValuesIn(SMALL_TABLES),
                         [](const auto& instance) { return instance.param.name; });

// ---- Full tables, a fixed-seed sample ----------------------------------------------------------

struct FullTable {
    std::string name;
    ColorTable (*make)();
};

ColorTable RandomColors() {
    Random random(1);
    std::vector<Rgb> colors(MAX_COLORS);
    for (Rgb& c : colors) c = {random.Channel(), random.Channel(), random.Channel()};
    return TableOf(colors);
}

// Eight tight clusters: most of the cube is far from every entry, so cells keep long lists.
ColorTable Clustered() {
    Random random(2);
    std::vector<Rgb> colors;
    for (int i = 0; i < MAX_COLORS; ++i) {
        const int cluster = i % 8;
        auto around = [&](int centre) {
            return std::clamp(centre + random.Channel() % 25 - 12, 0, 255);
        };
        colors.push_back({around(30 + 27 * cluster), around(220 - 23 * cluster),
                          around(60 + (cluster * 97) % 150)});
    }
    return TableOf(colors);
}

// 1000 draws from 100 distinct colors: only the first entry of each color can win.
ColorTable ManyDuplicates() {
    Random random(3);
    std::vector<Rgb> distinct(100);
    for (Rgb& c : distinct) c = {random.Channel(), random.Channel(), random.Channel()};
    std::vector<Rgb> colors;
    colors.reserve(MAX_COLORS);
    for (int i = 0; i < MAX_COLORS; ++i)
        colors.push_back(distinct[random.Next() % distinct.size()]);
    return TableOf(colors);
}

// A 10 × 10 × 10 lattice 28 apart, in reverse order: midpoints tie between two to eight entries
// and the lowest index is the last one listed.
ColorTable ReversedLattice() {
    std::vector<Rgb> colors;
    for (int k = MAX_COLORS - 1; k >= 0; --k)
        colors.push_back({(k / 100) * 28, (k / 10 % 10) * 28, (k % 10) * 28});
    return TableOf(colors);
}

// Every entry the same gray: only index 0 can ever be the answer.
ColorTable OneColorRepeated() { return TableOf(std::vector<Rgb>(MAX_COLORS, Rgb{128, 128, 128})); }

const FullTable FULL_TABLES[] = {
    {"RandomColors", RandomColors},         {"Clustered", Clustered},
    {"ManyDuplicates", ManyDuplicates},     {"ReversedLattice", ReversedLattice},
    {"OneColorRepeated", OneColorRepeated},
};

struct Sample {
    FullTable table;
    SearchInstructions instructions;
};

const char* NameOf(SearchInstructions instructions) {
    switch (instructions) {
    case SearchInstructions::Plain:
        return "Plain";
    case SearchInstructions::Sse2:
        return "Sse2";
    case SearchInstructions::Sse41:
        return "Sse41";
    case SearchInstructions::Fastest:
        return "Fastest";
    }
    return "?";
}

void PrintTo(const Sample& sample, std::ostream* out) {
    *out << sample.table.name << " with " << NameOf(sample.instructions);
}

// Every table with each instruction set this processor has (Fastest is one of them).
std::vector<Sample> Samples() {
    std::vector<Sample> samples;
    for (const SearchInstructions instructions :
         {SearchInstructions::Sse41, SearchInstructions::Sse2, SearchInstructions::Plain}) {
        if (!NearestColorIndex::Supports(instructions)) continue;
        for (const FullTable& table : FULL_TABLES) samples.push_back({table, instructions});
    }
    return samples;
}

class FullTableSample : public ::testing::TestWithParam<Sample> {};

TEST_P(FullTableSample, MatchesThePlainScan) {
    const ColorTable table = GetParam().table.make();
    ASSERT_EQ(table.count, MAX_COLORS);
    const NearestColorIndex index(table, GetParam().instructions);
    Random random(42);
    std::vector<Pixel> colors;
    const int samples = OPTIMIZED ? 50000 : 5000;
    colors.reserve(samples);
    for (int i = 0; i < samples; ++i) colors.push_back(random.Next());  // alpha bits random too
    std::vector<Pixel> around = ColorsAround(table, 1);
    // Every entry's neighbourhood is too many plain scans unoptimized: keep every 8th.
    for (std::size_t i = 0; i < around.size(); i += OPTIMIZED ? 1 : 8) colors.push_back(around[i]);
    int differences = 0;
    Compare(table, index, colors, differences);
    EXPECT_EQ(differences, 0);
}

INSTANTIATE_TEST_SUITE_P(FullTables, FullTableSample, ::testing::ValuesIn(Samples()),
                         [](const auto& instance) {
                             return instance.param.table.name + NameOf(instance.param.instructions);
                         });

// Far colors with the narrow search, which must notice when distances overflow 16 bits.
TEST(NearestColorIndexInstructions, EveryInstructionSetAgreesOnFarColorsOfASmallTable) {
    const ColorTable table = TableOf({{0, 0, 254}, {0, 0, 0}, {10, 0, 0}, {0, 0, 254}});
    std::vector<Pixel> colors;
    for (int r = 120; r < 256; r += 3) {
        for (int g = 120; g < 256; g += 3) {
            for (int b = 0; b < 256; ++b) {
                colors.push_back(MakePixel(static_cast<std::uint8_t>(r),
                                           static_cast<std::uint8_t>(g),
                                           static_cast<std::uint8_t>(b)));
            }
        }
    }
    for (const SearchInstructions instructions :
         {SearchInstructions::Sse41, SearchInstructions::Sse2, SearchInstructions::Plain}) {
        if (!NearestColorIndex::Supports(instructions)) continue;
        SCOPED_TRACE(NameOf(instructions));
        const NearestColorIndex index(table, instructions);
        int differences = 0;
        Compare(table, index, colors, differences);
        EXPECT_EQ(differences, 0);
    }
}

// ---- Sharing ------------------------------------------------------------------------------------

// Both threads start on an empty index and race to build the same cells, one color at a time or
// after building their own parts of the cells a sample expects (the rest are built as found).
TEST(NearestColorIndexSharing, TwoThreadsSearchingOneIndexGetThePlainScansAnswers) {
    const ColorTable table = RandomColors();
    Random random(7);
    std::vector<Pixel> colors(OPTIMIZED ? 200000 : 20000);
    for (Pixel& c : colors) c = random.Next();
    ExpectedCells expected;
    for (std::size_t i = 0; i < colors.size(); i += 3) expected.Add(colors[i]);
    for (const bool buildAhead : {false, true}) {
        SCOPED_TRACE(buildAhead ? "built ahead" : "built as found");
        const NearestColorIndex index(table);
        std::vector<std::int32_t> first(colors.size()), second(colors.size());
        auto search = [&](int firstPart, std::vector<std::int32_t>& found) {
            if (buildAhead) {
                for (int part = firstPart; part < NearestColorIndex::PARTS; part += 2) {
                    index.BuildAhead(expected, part);
                }
                index.FindAll(colors.data(), colors.size(), found.data());
            } else {
                for (std::size_t i = 0; i < colors.size(); ++i) found[i] = index.Find(colors[i]);
            }
        };
        std::thread helper([&] { search(1, second); });
        search(0, first);
        helper.join();
        int differences = 0;
        for (std::size_t i = 0; i < colors.size(); ++i) {
            const std::int32_t nearest = FindNearestColor(table, colors[i]);
            differences += (first[i] != nearest) + (second[i] != nearest);
        }
        EXPECT_EQ(differences, 0);
    }
}

}  // namespace
}  // namespace tesselbox
