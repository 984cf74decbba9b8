#include "palette/ColorMatch.h"
#include "tests/support/ColorTables.h"

#include <gtest/gtest.h>

#include <cmath>
#include <initializer_list>
#include <vector>

namespace tesselbox {
namespace {

using testing::TableOf;

TEST(ColorDistance, IsPlainUnweightedEuclidean) {
    EXPECT_DOUBLE_EQ(ColorDistance(0, 0, 0, 3, 4, 0), 5.0);
    EXPECT_DOUBLE_EQ(ColorDistance(10, 0, 0, 0, 0, 0), ColorDistance(0, 10, 0, 0, 0, 0));
    EXPECT_DOUBLE_EQ(ColorDistance(0, 0, 10, 0, 0, 0), 10.0);
    EXPECT_DOUBLE_EQ(ColorDistance(255, 255, 255, 0, 0, 0), std::sqrt(195075.0));
}

// The colors, not a ColorTable: the cases live together on the stack while they are registered,
// and a dozen whole tables overflow a Windows thread's.
struct MatchCase {
    const char* name;
    std::vector<Pixel> colors;
    Pixel pixel;
    std::int32_t expected;
};

void PrintTo(const MatchCase& c, std::ostream* os) { *os << c.name; }

class FindNearest : public ::testing::TestWithParam<MatchCase> {};

TEST_P(FindNearest, PicksTheLowestIndexAmongTheNearest) {
    EXPECT_EQ(FindNearestColor(TableOf(GetParam().colors), GetParam().pixel), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FindNearest,
    ::testing::Values(
        MatchCase{"OneEntryTakesEverything", {0x123456}, 0xFFFFFFFF, 0},
        MatchCase{"ExactColorWins", {0x000000, 0x808080, 0xFF0000}, 0xFFFF0000, 2},
        MatchCase{"EarlierDuplicateWins", {0x000000, 0x00FF00, 0x00FF00}, 0xFF00FF00, 1},
        MatchCase{"TieAtDistanceOneGoesToIndexZero", {0x000000, 0x020000}, 0xFF010000, 0},
        MatchCase{"Gray127IsNearerBlack", {0x000000, 0xFFFFFF}, 0xFF7F7F7F, 0},
        MatchCase{"Gray128IsNearerWhite", {0x000000, 0xFFFFFF}, 0xFF808080, 1},
        MatchCase{"ThreeWayTieGoesToTheFirst",
                  {0xFFFFFF, 0xFFFFFF, 0x0A0000, 0xFFFFFF, 0x000A00, 0xFFFFFF, 0xFFFFFF, 0x00000A},
                  0xFF000000, 2},
        MatchCase{"AlphaPlaysNoPart", {0x000000, 0x102030}, 0x00102030, 1},
        MatchCase{"ChannelsWeighAlike", {0x0A0000, 0x000A00, 0x00000A}, 0xFF00000A, 2}),
    [](const auto& test) { return std::string(test.param.name); });

}  // namespace
}  // namespace tesselbox
