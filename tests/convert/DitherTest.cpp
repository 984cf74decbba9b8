// The conversion with a chosen match and dithering: plain matching against the plain scans (on two
// threads), ordered dithering by bands, error diffusion keeping the field's light, reaching an entry
// far from every color of a field, and transparent pixels cutting it.
#include "convert/Dither.h"
#include "palette/BlockChoice.h"
#include "palette/ColorMatch.h"
#include "palette/Lab.h"
#include "palette/PerceptualMatch.h"
#include "tests/support/ColorTables.h"
#include "tests/support/FakePlatform.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <map>
#include <memory>
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
    auto randomTable = std::make_unique<ColorTable>();
    for (int i = 0; i < 64; ++i) randomTable->colors[static_cast<std::size_t>(i)] = random() | 0xFF000000u;
    randomTable->count = 64;
    auto modernTable = std::make_unique<ColorTable>();
    MakeModernTable(*modernTable);
    // Enough pixels for two threads: every color new against 64 random entries; against the
    // shipped table, colors repeating as a photo's do (and the scans stay short).
    const auto pictureOf = [&](std::size_t palette) {
        std::vector<Pixel> colors(palette);
        for (Pixel& color : colors) color = random() & 0xFFFFFFu;
        Picture picture{160, 120, {}};
        for (std::uint32_t i = 0; i < picture.width * picture.height; ++i) {
            const Pixel color = palette == 0 ? random() & 0xFFFFFFu : colors[random() % palette];
            picture.topFirst.push_back(color | (i % 7 == 0 ? 0x40000000u : 0xFF000000u));
        }
        return picture;
    };
    const struct {
        const char* name;
        const ColorTable& table;
        Picture picture;
    } cases[] = {{"64 random entries", *randomTable, pictureOf(0)}, {"the modern table", *modernTable, pictureOf(1500)}};
    for (const auto& c : cases) {
        for (MatchMode match : {MatchMode::Rgb, MatchMode::Perceptual}) {
            const Converted out = Convert(c.table, c.picture, {match, DitherMode::None});
            std::map<Pixel, std::int32_t> scanned;
            for (std::uint32_t y = 0; y < c.picture.height; ++y) {
                for (std::uint32_t x = 0; x < c.picture.width; ++x) {
                    const Pixel pixel = c.picture.At(x, y);
                    const std::int32_t block = out.grid[GridAt(c.picture, x, y)];
                    if (AlphaOf(pixel) < ALPHA_THRESHOLD) {
                        ASSERT_EQ(block, NO_BLOCK);
                        ASSERT_EQ(out.preview[y * c.picture.width + x], 0u);
                        continue;
                    }
                    auto known = scanned.find(pixel);
                    if (known == scanned.end()) {
                        known = scanned.emplace(pixel, match == MatchMode::Rgb ? FindNearestColor(c.table, pixel)
                                                                               : FindNearestPerceptual(c.table, pixel))
                                    .first;
                    }
                    const std::int32_t expected = known->second;
                    ASSERT_EQ(block, expected) << c.name << ", " << x << "," << y;
                    ASSERT_EQ(out.preview[y * c.picture.width + x], c.table.colors[static_cast<std::size_t>(block)]);
                }
            }
        }
    }
}

// Ordered dithering decides each pixel by the 3 x 3 pixels around it and ties its pattern to the
// picture's top left, so a band of rows converted alone (on one thread) gets what the whole picture
// (on two) gets there, but for the rows at a cut, whose neighbors the band lacks.
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
            const std::uint32_t first = top == 0 ? 0 : 1;
            const std::uint32_t last = top + height == whole.height ? band.height : band.height - 1;
            for (std::uint32_t y = first; y < last; ++y) {
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

// A field whose color only a far entry can pay for: a pale blue ground among whites and grays is
// snow with some blue ice, whose red and green lie far below every color in the field, so taking
// the nearest entry to each diffused color never picks it and the ground comes out gray-green.
// The field's light, in linear light, must keep its blue: the refinement reaches for it.
TEST_F(Dither, RefinedFloydSteinbergReachesAnEntryFarFromTheField) {
    struct Case {
        const char* name;
        Pixel field;
        std::vector<Pixel> table;
    };
    const std::vector<Pixel> whites = {0xEAECED, 0xE2E3E4, 0xE5F4E4, 0xF6F0F0, 0xEBE3E2, 0xDFE0DD, 0xDCDCDC,
                                       0xCFD5D6, 0xF9FEFE, 0x62EDE4, 0x4AB5D5, 0x141414};
    std::vector<Pixel> withIce = whites;
    withIce.insert(withIce.end(), {0x74A8FD, 0x8EB4FA});
    const Case cases[] = {
        {"pale blue ground, snow and blue ice", 0xD9E9FD, withIce},
        {"the same ground a little grayer", 0xD0DCF0, withIce},
    };
    constexpr std::uint32_t W = 96, H = 64;
    for (const Case& c : cases) {
        const ColorTable table = TableOf(c.table);
        const Picture field{W, H, std::vector<Pixel>(std::size_t{W} * H, c.field | 0xFF000000u)};
        for (MatchMode match : {MatchMode::Rgb, MatchMode::Perceptual}) {
            const Converted out = Convert(table, field, {match, DitherMode::FloydSteinberg, true});
            LinearRgb mean;
            for (Pixel shown : out.preview) {
                const LinearRgb l = LinearOf(shown);
                mean = {mean.red + l.red / (W * H), mean.green + l.green / (W * H), mean.blue + l.blue / (W * H)};
            }
            EXPECT_LT(Ciede2000(LabOf(mean), LabOf(c.field)), 3.0)
                << c.name << (match == MatchMode::Rgb ? ", rgb" : ", perceptual");
        }
    }
}

// Seen from a step back (the mean color of each 8 x 8 tile, the pattern's size, in linear light),
// dithering must come no farther from the picture than matching each pixel alone, on smooth
// pictures a builder meets, and Floyd-Steinberg closer: a near-black sky between the table's two
// blacks, skin, a blue sky, and colors more saturated than any entry, whose error no mix pays
// back and which, carried on, would drag their neighbors off hue; a pale yellow brighter than any
// mix of the yellow must stay yellow, not become the white. The table is the sixteen wool colors
// and black concrete.
TEST_F(Dither, DitheringLooksCloserThanNoneFromAStepBack) {
    const ColorTable table = TableOf(
        {0xEAECED, 0xF17614, 0xBE45B4, 0x3AAFD9, 0xF9C628, 0x70B91A, 0xEE8DAC, 0x3F4448, 0x8E8E87,
         0x158A91, 0x7A2AAD, 0x35399D, 0x724829, 0x556E1C, 0xA12723, 0x15151A, 0x080A0F});
    constexpr std::uint32_t W = 128, H = 64, TILE = 8;
    const auto ramp = [](Pixel from, Pixel to, double t) {  // in sRGB, t from 0 to 1
        const auto channel = [t](int a, int b) {
            return static_cast<std::uint8_t>(std::lround(a + (b - a) * t));
        };
        return MakePixel(channel(RedOf(from), RedOf(to)), channel(GreenOf(from), GreenOf(to)),
                         channel(BlueOf(from), BlueOf(to)));
    };
    struct Case {
        const char* name;
        std::function<Pixel(double x, double y)> color;  // x and y from 0 to 1
        double floydSteinberg;  // its figure at most this share of no dithering's
    };
    const Case cases[] = {
        {"near-black sky", [&](double x, double) { return ramp(0x040404, 0x1E1E1E, x); }, 1},
        {"skin", [&](double x, double y) { return ramp(ramp(0x78503C, 0xF0C8AA, x), 0x603828, y / 2); }, 1},
        {"blue sky", [&](double x, double y) { return ramp(ramp(0x142878, 0xAAD2F0, y), 0xC0C8D0, x / 3); }, 1},
        {"red bowl on concrete",
         [&](double x, double y) {
             const bool bowl = (x - 0.4) * (x - 0.4) + (y - 0.5) * (y - 0.5) < 0.1;
             return bowl ? ramp(0xE61E0A, 0x900A05, y) : ramp(0x969696, 0xB4B4AA, x);
         },
         0.45},
        {"orange petals", [&](double x, double y) { return ramp(ramp(0xFF3C00, 0xFFA000, x), 0x802000, 0.6 * y); },
         0.45},
        {"pale yellow brighter than the yellow",
         [&](double x, double y) { return ramp(ramp(0xFCF1BC, 0xF4EEC8, x), 0xFAF0A0, y); }, 0.6},
    };
    for (const Case& c : cases) {
        Picture picture{W, H, {}};
        for (std::uint32_t y = 0; y < H; ++y)
            for (std::uint32_t x = 0; x < W; ++x)
                picture.topFirst.push_back(c.color(x / (W - 1.0), y / (H - 1.0)) | 0xFF000000u);
        const auto fromAStepBack = [&](const std::vector<Pixel>& pixels) {
            double sum = 0;
            for (std::uint32_t ty = 0; ty < H; ty += TILE) {
                for (std::uint32_t tx = 0; tx < W; tx += TILE) {
                    LinearRgb shown, source;
                    for (std::uint32_t y = ty; y < ty + TILE; ++y) {
                        for (std::uint32_t x = tx; x < tx + TILE; ++x) {
                            const LinearRgb a = LinearOf(pixels[y * W + x]), b = LinearOf(picture.At(x, y));
                            shown = {shown.red + a.red, shown.green + a.green, shown.blue + a.blue};
                            source = {source.red + b.red, source.green + b.green, source.blue + b.blue};
                        }
                    }
                    constexpr double N = TILE * TILE;
                    sum += Ciede2000(LabOf(LinearRgb{shown.red / N, shown.green / N, shown.blue / N}),
                                     LabOf(LinearRgb{source.red / N, source.green / N, source.blue / N}));
                }
            }
            constexpr std::uint32_t TILES = (W / TILE) * (H / TILE);  // both divide exactly
            return sum / TILES;
        };
        for (MatchMode match : {MatchMode::Rgb, MatchMode::Perceptual}) {
            const char* matchName = match == MatchMode::Rgb ? "rgb" : "perceptual";
            const double none = fromAStepBack(Convert(table, picture, {match, DitherMode::None}).preview);
            const double diffused =
                fromAStepBack(Convert(table, picture, {match, DitherMode::FloydSteinberg}).preview);
            const double ordered = fromAStepBack(Convert(table, picture, {match, DitherMode::Ordered}).preview);
            EXPECT_LT(diffused, none * c.floydSteinberg) << c.name << ", " << matchName << ", Floyd-Steinberg";
            // Where no list of entries looks closer than the nearest one, the pattern keeps it.
            EXPECT_LE(ordered, none) << c.name << ", " << matchName << ", ordered";
        }
    }
}

}  // namespace
}  // namespace tesselbox
