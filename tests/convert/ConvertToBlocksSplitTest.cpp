// The conversion hands big pictures out to two threads in runs of pixels and remembers the last
// color it matched; neither may change a single block. Checked pixel by pixel against the rule written out plainly.
#include "convert/ConvertToBlocks.h"
#include "palette/ColorMatch.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <ostream>
#include <string>

namespace tesselbox {
namespace {

ColorTable SomeTable() {
    ColorTable table;
    std::uint32_t state = 12345;
    for (int i = 0; i < 300; ++i) {
        state = state * 1664525u + 1013904223u;
        table.colors[static_cast<std::size_t>(i)] = 0xFF000000u | (state >> 8);
    }
    table.colors[7] = table.colors[3];  // a repeated color: index 3 must win
    table.count = 300;
    return table;
}

// Runs of one color, broken by pixels just below and at the alpha threshold and by fully
// transparent pixels of the same color, so a remembered answer would leak if handled wrongly.
Pixel PixelAt(std::uint64_t i) {
    const std::uint64_t run = i / 5;
    const auto color = static_cast<std::uint32_t>((run * 2654435761u) & 0x00FFFFFFu);
    static constexpr std::uint32_t ALPHAS[] = {255, 255, 229, 230, 0, 255, 254, 255, 228, 255, 255};
    return (ALPHAS[i % 11] << 24) | color;
}

struct Size {
    std::string name;
    std::uint32_t width, height;
};

void PrintTo(const Size& size, std::ostream* out) { *out << size.name; }

class ConvertSplit : public ::testing::TestWithParam<Size> {};

TEST_P(ConvertSplit, EveryPixelFollowsTheAlphaRuleAndThePlainScan) {
    const ColorTable table = SomeTable();
    PixelSurface source, preview;
    ASSERT_TRUE(source.Create(GetParam().width, GetParam().height));
    ASSERT_TRUE(preview.Create(GetParam().width, GetParam().height));
    const std::uint64_t n = source.pixelCount();
    for (std::uint64_t i = 0; i < n; ++i) source.bits()[i] = PixelAt(i);
    BlockGrid grid(3, 42);  // a previous picture's grid, to be replaced

    ASSERT_TRUE(ConvertToBlocks(table, source, preview, grid));

    ASSERT_EQ(grid.size(), n);
    int wrong = 0;
    for (std::uint64_t i = 0; i < n && wrong < 5; ++i) {
        const Pixel pixel = source.bits()[i];
        const bool opaque = AlphaOf(pixel) >= ALPHA_THRESHOLD;
        const std::int32_t block = opaque ? FindNearestColor(table, pixel) : NO_BLOCK;
        const Pixel shown = opaque ? table.colors[static_cast<std::size_t>(block)] : 0;
        if (grid[i] != block || preview.bits()[i] != shown) {
            ++wrong;
            ADD_FAILURE() << "pixel " << i << ": block " << grid[i] << " (expected " << block
                          << "), preview " << std::hex << preview.bits()[i] << " (expected "
                          << shown << ")" << std::dec;
        }
    }
}

// Around the size where the second thread starts, and odd sizes whose runs end inside a row and
// inside a run of one color.
INSTANTIATE_TEST_SUITE_P(
    Sizes, ConvertSplit,
    ::testing::Values(Size{"OnePixel", 1, 1}, Size{"NoRows", 300, 0}, Size{"OneRow", 300, 1},
                      Size{"JustBelowTwoThreads", 127, 129}, Size{"TwoThreads", 128, 128},
                      Size{"OddSize", 301, 299}, Size{"TallAndNarrow", 3, 30001}),
    [](const auto& instance) { return instance.param.name; });

}  // namespace
}  // namespace tesselbox
