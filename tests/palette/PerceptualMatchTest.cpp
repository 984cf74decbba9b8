// CIEDE2000 against its authors' published pairs, and the perceptual index against the plain scan.
#include "palette/BlockChoice.h"
#include "palette/Lab.h"
#include "palette/PerceptualMatch.h"
#include "tests/support/ColorTables.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <thread>
#include <utility>
#include <vector>

namespace tesselbox {
namespace {

using testing::TableOf;

// Sharma, Wu and Dalal, "The CIEDE2000 color-difference formula: implementation notes, supplementary
// test data, and mathematical observations", Color Research & Application 30 (2005), table 1.
struct Pair {
    Lab first, second;
    double difference;
};
const Pair SHARMA_PAIRS[] = {
    {{50.0000, 2.6772, -79.7751}, {50.0000, 0.0000, -82.7485}, 2.0425},
    {{50.0000, 3.1571, -77.2803}, {50.0000, 0.0000, -82.7485}, 2.8615},
    {{50.0000, 2.8361, -74.0200}, {50.0000, 0.0000, -82.7485}, 3.4412},
    {{50.0000, -1.3802, -84.2814}, {50.0000, 0.0000, -82.7485}, 1.0000},
    {{50.0000, -1.1848, -84.8006}, {50.0000, 0.0000, -82.7485}, 1.0000},
    {{50.0000, -0.9009, -85.5211}, {50.0000, 0.0000, -82.7485}, 1.0000},
    {{50.0000, 0.0000, 0.0000}, {50.0000, -1.0000, 2.0000}, 2.3669},
    {{50.0000, -1.0000, 2.0000}, {50.0000, 0.0000, 0.0000}, 2.3669},
    {{50.0000, 2.4900, -0.0010}, {50.0000, -2.4900, 0.0009}, 7.1792},
    {{50.0000, 2.4900, -0.0010}, {50.0000, -2.4900, 0.0010}, 7.1792},
    {{50.0000, 2.4900, -0.0010}, {50.0000, -2.4900, 0.0011}, 7.2195},
    {{50.0000, 2.4900, -0.0010}, {50.0000, -2.4900, 0.0012}, 7.2195},
    {{50.0000, -0.0010, 2.4900}, {50.0000, 0.0009, -2.4900}, 4.8045},
    {{50.0000, -0.0010, 2.4900}, {50.0000, 0.0010, -2.4900}, 4.8045},
    {{50.0000, -0.0010, 2.4900}, {50.0000, 0.0011, -2.4900}, 4.7461},
    {{50.0000, 2.5000, 0.0000}, {50.0000, 0.0000, -2.5000}, 4.3065},
    {{50.0000, 2.5000, 0.0000}, {73.0000, 25.0000, -18.0000}, 27.1492},
    {{50.0000, 2.5000, 0.0000}, {61.0000, -5.0000, 29.0000}, 22.8977},
    {{50.0000, 2.5000, 0.0000}, {56.0000, -27.0000, -3.0000}, 31.9030},
    {{50.0000, 2.5000, 0.0000}, {58.0000, 24.0000, 15.0000}, 19.4535},
    {{50.0000, 2.5000, 0.0000}, {50.0000, 3.1736, 0.5854}, 1.0000},
    {{50.0000, 2.5000, 0.0000}, {50.0000, 3.2972, 0.0000}, 1.0000},
    {{50.0000, 2.5000, 0.0000}, {50.0000, 1.8634, 0.5757}, 1.0000},
    {{50.0000, 2.5000, 0.0000}, {50.0000, 3.2592, 0.3350}, 1.0000},
    {{60.2574, -34.0099, 36.2677}, {60.4626, -34.1751, 39.4387}, 1.2644},
    {{63.0109, -31.0961, -5.8663}, {62.8187, -29.7946, -4.0864}, 1.2630},
    {{61.2901, 3.7196, -5.3901}, {61.4292, 2.2480, -4.9620}, 1.8731},
    {{35.0831, -44.1164, 3.7933}, {35.0232, -40.0716, 1.5901}, 1.8645},
    {{22.7233, 20.0904, -46.6940}, {23.0331, 14.9730, -42.5619}, 2.0373},
    {{36.4612, 47.8580, 18.3852}, {36.2715, 50.5065, 21.2231}, 1.4146},
    {{90.8027, -2.0831, 1.4410}, {91.1528, -1.6435, 0.0447}, 1.4441},
    {{90.9257, -0.5406, -0.9208}, {88.6381, -0.8985, -0.7239}, 1.5381},
    {{6.7747, -0.2908, -2.4247}, {5.8714, -0.0985, -2.2286}, 0.6377},
    {{2.0776, 0.0795, -1.1350}, {0.9033, -0.0636, -0.5514}, 0.9082},
};

TEST(Ciede2000, MatchesThePublishedPairsBothWays) {
    for (const Pair& pair : SHARMA_PAIRS) {
        EXPECT_NEAR(Ciede2000(pair.first, pair.second), pair.difference, 5e-5)
            << pair.first.L << " " << pair.first.a << " " << pair.first.b;
        EXPECT_NEAR(Ciede2000(pair.second, pair.first), pair.difference, 5e-5);
    }
}

// splitmix64, so the sample is the same everywhere.
std::uint64_t Next(std::uint64_t& state) {
    std::uint64_t z = (state += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

struct TableCase {
    const char* name;
    std::vector<Pixel> colors;
};

std::vector<TableCase> Tables() {
    std::uint64_t state = 13;
    std::vector<Pixel> random1000, grays, repeated, lattice;
    for (int i = 0; i < 1000; ++i) random1000.push_back(static_cast<Pixel>(Next(state)) & 0xFFFFFFu);
    // Ties everywhere: every gray is equally far from the two grays around it, colors repeat, and
    // a lattice of 4 levels leaves many colors halfway between neighbors.
    for (int v = 0; v < 256; v += 2) grays.push_back(static_cast<Pixel>(v) * 0x010101u);
    const Pixel three[] = {0x808080u, 0x204060u, 0xC0A020u};
    for (int i = 0; i < 60; ++i) repeated.push_back(three[i % 3]);
    for (Pixel level = 0; level < 64; ++level) {
        lattice.push_back((level >> 4) * 0x550000u + (level >> 2 & 3) * 0x5500u + (level & 3) * 0x55u);
    }
    lattice.insert(lattice.end(), lattice.begin(), lattice.end());  // every color twice
    // The tree's edge cases: one leaf, one color in every leaf, boxes at the gamut's corners, and
    // blues and violets near 275 degrees, where the rotation term is at its largest.
    std::vector<Pixel> corners, blues;
    for (Pixel corner = 0; corner < 8; ++corner) {
        corners.push_back((corner & 1 ? 0xFF0000u : 0u) | (corner & 2 ? 0xFF00u : 0u) | (corner & 4 ? 0xFFu : 0u));
    }
    for (int i = 0; i < 200; ++i) {
        const Pixel random = static_cast<Pixel>(Next(state));
        blues.push_back((random & 0x7F7F00u) | 0x80u | (random >> 24 & 0x7Fu));
    }
    // The shipped tables: a few hundred entries, sparse where the search was tuned on a thousand.
    const auto shipped = [](BlockFace face) {
        auto table = std::make_unique<ColorTable>();
        MakeModernTable(*table, face);
        return std::vector<Pixel>(table->colors.begin(), table->colors.begin() + table->count);
    };
    return {{"random 1000", random1000},
            {"modern blocks' tops", shipped(BlockFace::Top)},
            {"modern blocks' sides", shipped(BlockFace::Side)},
            {"grays", grays},
            {"three colors repeated", repeated},
            {"lattice twice", lattice},
            {"one entry", {0x3070C0u}},
            {"two entries", {0x102030u, 0xE0D0C0u}},
            // So far apart that some colors lie farther from both than a cube's list vouches for.
            {"two entries far apart", {0x391005u, 0xEF33E6u}},
            {"one color 40 times", std::vector<Pixel>(40, 0x5A2D8Bu)},
            {"gamut corners", corners},
            {"blues and violets", blues}};
}

TEST(PerceptualIndex, AnswersWhatThePlainScanAnswers) {
    for (const TableCase& c : Tables()) {
        const ColorTable table = TableOf(c.colors);
        // Remembering every answer with the fastest loops, and only recent ones with the plain loops.
        for (const auto& [colorsToAsk, instructions] :
             {std::pair{PerceptualIndex::REMEMBER_FROM, PerceptualInstructions::Fastest},
              std::pair{std::uint64_t{0}, PerceptualInstructions::Plain}}) {
            const PerceptualIndex index(table, colorsToAsk, instructions);
            std::uint64_t state = 77;
            std::vector<Pixel> sample;
            sample.reserve(3000 + 256 + 256 + 8);
            for (int i = 0; i < 3000; ++i) sample.push_back(static_cast<Pixel>(Next(state)) | 0xFF000000u);
            for (Pixel v = 0; v < 256; ++v) sample.push_back(0xFF000000u | (v * 0x010101u));
            for (Pixel v = 0; v < 256; ++v) sample.push_back(0xFF000000u | (v << 16) | 0xFFu);  // violets
            for (Pixel corner = 0; corner < 8; ++corner) {
                sample.push_back(0xFF000000u | (corner & 1 ? 0xFF0000u : 0u) | (corner & 2 ? 0xFF00u : 0u) |
                                 (corner & 4 ? 0xFFu : 0u));
            }
            std::vector<std::int32_t> found(sample.size());
            index.FindAll(sample.data(), sample.size(), found.data());
            for (std::size_t i = 0; i < sample.size(); ++i) {
                ASSERT_EQ(found[i], FindNearestPerceptual(table, sample[i]))
                    << c.name << ", color " << std::hex << sample[i];
                ASSERT_EQ(index.Find(sample[i]), found[i]) << c.name;  // remembered the same
            }
        }
    }
}

// Random colors, and pairs that tie or nearly tie: mirror images across the color, the same color
// twice, one a hair from the other.
TEST(Ciede2000, FartherOrAsFarDecidesAsTheDifferencesDo) {
    std::uint64_t state = 29;
    const auto unit = [&] { return static_cast<double>(Next(state) >> 11) / 9007199254740992.0; };
    const auto randomLab = [&] { return Lab{100 * unit(), 200 * unit() - 100, 200 * unit() - 100}; };
    for (int i = 0; i < 20000; ++i) {
        const Lab from = randomLab(), x = randomLab();
        const Lab mirrored{2 * from.L - x.L, 2 * from.a - x.a, 2 * from.b - x.b};
        const Lab hair{x.L, x.a + 1e-12 * (unit() - 0.5), x.b};
        for (const Lab& y : {randomLab(), mirrored, x, hair, Lab{x.L, 0, 0}}) {
            ASSERT_EQ(FartherOrAsFar(from, x, y), Ciede2000(from, x) >= Ciede2000(from, y))
                << from.L << " " << from.a << " " << from.b << " / " << x.L << " " << x.a << " " << x.b << " / "
                << y.L << " " << y.a << " " << y.b;
        }
    }
}

TEST(PerceptualIndex, TwoThreadsGetThePlainScansAnswers) {
    const ColorTable table = TableOf(Tables()[0].colors);
    std::vector<Pixel> sample;
    sample.reserve(2000);
    std::uint64_t state = 5;
    for (int i = 0; i < 2000; ++i) sample.push_back(static_cast<Pixel>(Next(state)) & 0x3F3F3Fu);
    for (const std::uint64_t colorsToAsk : {PerceptualIndex::REMEMBER_FROM, std::uint64_t{0}}) {
        const PerceptualIndex index(table, colorsToAsk);
        std::vector<std::int32_t> first(sample.size()), second(sample.size());
        std::thread other([&] { index.FindAll(sample.data(), sample.size(), second.data()); });
        index.FindAll(sample.data(), sample.size(), first.data());
        other.join();
        for (std::size_t i = 0; i < sample.size(); ++i) {
            ASSERT_EQ(first[i], FindNearestPerceptual(table, sample[i]));
            ASSERT_EQ(second[i], first[i]);
        }
    }
}

}  // namespace
}  // namespace tesselbox
