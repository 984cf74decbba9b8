// The conversion with a chosen match and dithering: plain matching against the plain scans (on two
// threads), ordered dithering by bands, error diffusion keeping the field's light, and transparent
// pixels cutting it.
#include "convert/Dither.h"
#include "palette/ColorMatch.h"
#include "palette/Lab.h"
#include "palette/PerceptualMatch.h"
#include "tests/support/ColorTables.h"
#include "tests/support/FakePlatform.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

namespace tesselbox {
namespace {

using testing::TableOf;

// A picture held top row first, read bottom row first as the grid is.
struct Picture {
    std::uint32_t width, height;
    std::vector<Pixel> topFirst;
    SourceRows Rows() const {
        return {topFirst.data() + std::size_t{height - 1} * width, -std::ptrdiff_t{width}, width,
                height};
    }
    Pixel At(std::uint32_t x, std::uint32_t yFromTop) const {
        return topFirst[std::size_t{yFromTop} * width + x];
    }
};

struct Converted {
    BlockGrid grid;
    std::vector<Pixel> preview;  // top row first
};

Converted Convert(const ColorTable& table, const Picture& picture, ConversionChoice choice) {
    PixelSurface preview;
    EXPECT_TRUE(preview.Create(picture.width, picture.height));
    Converted out;
    EXPECT_TRUE(ConvertWithChoice(table, picture.Rows(), choice, preview, out.grid));
    for (std::uint32_t y = 0; y < picture.height; ++y)
        for (std::uint32_t x = 0; x < picture.width; ++x) out.preview.push_back(preview.At(x, y));
    return out;
}

// Grid index of the picture point (x, y), y from the top.
std::size_t GridAt(const Picture& p, std::uint32_t x, std::uint32_t y) {
    return std::size_t{p.height - 1 - y} * p.width + x;
}

class Dither : public ::testing::Test {
protected:
    void SetUp() override { fake::Reset(); }
};

TEST_F(Dither, WithoutDitheringEveryPixelGetsItsPlainScanAnswer) {
    std::mt19937 random(42);
    ColorTable table;
    for (int i = 0; i < 64; ++i) table.colors[static_cast<std::size_t>(i)] = random() | 0xFF000000u;
    table.count = 64;
    Picture picture{160, 120, {}};  // enough pixels for two threads
    for (std::uint32_t i = 0; i < picture.width * picture.height; ++i) {
        const Pixel color = random() & 0xFFFFFFu;
        picture.topFirst.push_back(color | (i % 7 == 0 ? 0x40000000u : 0xFF000000u));
    }
    for (MatchMode match : {MatchMode::Rgb, MatchMode::Perceptual}) {
        const Converted out = Convert(table, picture, {match, DitherMode::None});
        for (std::uint32_t y = 0; y < picture.height; ++y) {
            for (std::uint32_t x = 0; x < picture.width; ++x) {
                const Pixel pixel = picture.At(x, y);
                const std::int32_t block = out.grid[GridAt(picture, x, y)];
                if (AlphaOf(pixel) < ALPHA_THRESHOLD) {
                    ASSERT_EQ(block, NO_BLOCK);
                    ASSERT_EQ(out.preview[y * picture.width + x], 0u);
                    continue;
                }
                ASSERT_EQ(block, match == MatchMode::Rgb ? FindNearestColor(table, pixel)
                                                         : FindNearestPerceptual(table, pixel))
                    << x << "," << y;
                ASSERT_EQ(out.preview[y * picture.width + x],
                          table.colors[static_cast<std::size_t>(block)]);
            }
        }
    }
}

// Ordered dithering matches each pixel by itself and ties its pattern to the picture's top left, so
// a band of rows converted alone (on one thread) gets what the whole picture (on two) gets there.
TEST_F(Dither, OrderedBandsAloneMatchTheWholePicture) {
    std::mt19937 random(7);
    ColorTable table;
    for (int i = 0; i < 64; ++i) table.colors[static_cast<std::size_t>(i)] = random() | 0xFF000000u;
    table.count = 64;
    // Enough pixels for two threads; a height that is no multiple of 8 tells the rows from the top
    // from those from the bottom.
    Picture whole{160, 123, {}};
    for (std::uint32_t i = 0; i < whole.width * whole.height; ++i) {
        whole.topFirst.push_back(random() | 0xFF000000u);
    }
    for (MatchMode match : {MatchMode::Rgb, MatchMode::Perceptual}) {
        const ConversionChoice choice{match, DitherMode::Ordered};
        const Converted all = Convert(table, whole, choice);
        for (const std::uint32_t top : {0u, 40u, 80u}) {  // multiples of the pattern's 8
            const std::uint32_t height = top == 80 ? whole.height - top : 40;
            Picture band{whole.width, height, {}};
            band.topFirst.assign(whole.topFirst.begin() + std::ptrdiff_t{top} * whole.width,
                                 whole.topFirst.begin() + std::ptrdiff_t{top + height} * whole.width);
            const Converted alone = Convert(table, band, choice);
            for (std::uint32_t y = 0; y < band.height; ++y) {
                for (std::uint32_t x = 0; x < band.width; ++x) {
                    ASSERT_EQ(alone.grid[GridAt(band, x, y)], all.grid[GridAt(whole, x, top + y)])
                        << x << "," << top + y;
                }
            }
        }
    }
}

// The field is a mix of the two entries in linear light, rounded to 8 bits; the mean of the chosen
// entries may miss it by that rounding and by the error lost over the field's edges.
TEST_F(Dither, FloydSteinbergKeepsTheLightOfAFlatFieldBetweenTwoEntries) {
    struct Case {
        const char* name;
        Pixel first, second;
        double share;  // of the second entry, in linear light
        MatchMode match;
    };
    const Case cases[] = {
        {"mid gray between black and white, rgb", 0x000000, 0xFFFFFF, 0.216, MatchMode::Rgb},
        {"mid gray between black and white, perceptual", 0x000000, 0xFFFFFF, 0.216,
         MatchMode::Perceptual},
        {"between two teals, perceptual", 0x10304A, 0x60A0B0, 0.4, MatchMode::Perceptual},
        {"near the dark end, rgb", 0x202020, 0xE0C0A0, 0.05, MatchMode::Rgb},
        {"near the light end, perceptual", 0x402000, 0xF0E0FF, 0.93, MatchMode::Perceptual},
    };
    constexpr std::uint32_t SIDE = 256;
    for (const Case& c : cases) {
        const ColorTable table = TableOf({c.first, c.second});
        const LinearRgb a = LinearOf(c.first), b = LinearOf(c.second);
        const auto mix = [&](double x, double y) { return x + (y - x) * c.share; };
        const Pixel color =
            PixelOf({mix(a.red, b.red), mix(a.green, b.green), mix(a.blue, b.blue)});
        const Picture field{SIDE, SIDE, std::vector<Pixel>(std::size_t{SIDE} * SIDE, color)};
        const Converted out = Convert(table, field, {c.match, DitherMode::FloydSteinberg});
        double mean[3] = {0, 0, 0};
        for (std::int32_t block : out.grid) {
            const LinearRgb chosen = LinearOf(table.colors[static_cast<std::size_t>(block)]);
            mean[0] += chosen.red / (SIDE * SIDE);
            mean[1] += chosen.green / (SIDE * SIDE);
            mean[2] += chosen.blue / (SIDE * SIDE);
        }
        const std::uint8_t levels[3] = {RedOf(color), GreenOf(color), BlueOf(color)};
        const double ends[3][2] = {{a.red, b.red}, {a.green, b.green}, {a.blue, b.blue}};
        for (int k = 0; k < 3; ++k) {
            const auto& linear = LinearLevels();
            const double rounding = (linear[std::min(255, levels[k] + 1)] - linear[levels[k]]) / 2;
            const double edges = 2.0 * std::fabs(ends[k][1] - ends[k][0]) / SIDE;
            EXPECT_NEAR(mean[k], linear[levels[k]], rounding + edges) << c.name << ", channel " << k;
        }
    }
}

// A transparent column takes no error and passes none on, so the two sides dither exactly as two
// pictures of their own would.
TEST_F(Dither, ATransparentColumnSplitsTheDiffusion) {
    const ColorTable table = TableOf({0x000000, 0xFFFFFF, 0xC03020, 0x2040C0});
    std::mt19937 random(9);
    const std::uint32_t side = 23, height = 17;
    Picture whole{2 * side + 1, height, {}}, left{side, height, {}}, right{side, height, {}};
    for (std::uint32_t y = 0; y < height; ++y) {
        for (std::uint32_t x = 0; x < whole.width; ++x) {
            const Pixel pixel = x == side ? random() & 0x00FFFFFFu : random() | 0xFF000000u;
            whole.topFirst.push_back(pixel);
            if (x < side) left.topFirst.push_back(pixel);
            if (x > side) right.topFirst.push_back(pixel);
        }
    }
    for (MatchMode match : {MatchMode::Rgb, MatchMode::Perceptual}) {
        const ConversionChoice choice{match, DitherMode::FloydSteinberg};
        const Converted all = Convert(table, whole, choice);
        const Converted leftAlone = Convert(table, left, choice);
        const Converted rightAlone = Convert(table, right, choice);
        for (std::uint32_t y = 0; y < height; ++y) {
            EXPECT_EQ(all.grid[GridAt(whole, side, y)], NO_BLOCK);
            for (std::uint32_t x = 0; x < side; ++x) {
                ASSERT_EQ(all.grid[GridAt(whole, x, y)], leftAlone.grid[GridAt(left, x, y)]);
                ASSERT_EQ(all.grid[GridAt(whole, side + 1 + x, y)],
                          rightAlone.grid[GridAt(right, x, y)]);
            }
        }
    }
}

}  // namespace
}  // namespace tesselbox
