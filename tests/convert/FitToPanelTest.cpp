#include "convert/FitToPanel.h"
#include "convert/Limits.h"

#include <gtest/gtest.h>

namespace tesselbox {
namespace {

struct FitCase {
    PictureSize picture;
    PictureSize display;
    bool asks;
};

TEST(FitToPanel, MatchesTheWindowsTable) {
    const FitCase cases[] = {
        {{300, 300}, {300, 300}, false}, {{120, 80}, {120, 80}, false},
        {{301, 300}, {300, 299}, true},  {{300, 301}, {299, 300}, true},
        {{1000, 1000}, {300, 300}, true}, {{600, 400}, {300, 200}, true},
        {{1920, 1080}, {300, 168}, true}, {{400, 164}, {300, 122}, true},
        {{1000, 3}, {300, 0}, true},     {{3, 1000}, {0, 300}, true},
        {{0, 0}, {0, 0}, false},         {{1, 10000}, {0, 300}, true},
        {{32767, 32767}, {300, 300}, true}, {{4000, 3000}, {300, 225}, true},
    };
    for (const FitCase& c : cases) {
        EXPECT_EQ(FitToPanel(c.picture), c.display) << c.picture.width << " x " << c.picture.height;
        EXPECT_EQ(NeedsShrinking(c.picture), c.asks) << c.picture.width << " x " << c.picture.height;
    }
}

// Double precision, quotient first: for these sizes the integer (h * 300) / w is one more.
TEST(FitToPanel, RoundsLikeTheDoubleQuotient) {
    const FitCase cases[] = {
        {{315, 231}, {300, 219}, true}, {{330, 121}, {300, 109}, true},
        {{2670, 1958}, {300, 219}, true}, {{4995, 3663}, {300, 219}, true},
        {{231, 315}, {219, 300}, true}, {{121, 330}, {109, 300}, true},
    };
    for (const FitCase& c : cases) {
        EXPECT_EQ(FitToPanel(c.picture), c.display) << c.picture.width << " x " << c.picture.height;
    }
}

TEST(WorkingSizeLimits, RefuseWhatNbtOrMemoryCannotHold) {
    EXPECT_FALSE(CheckWorkingSize(0, 0));
    EXPECT_FALSE(CheckWorkingSize(16384, 16384));
    EXPECT_FALSE(CheckWorkingSize(32767, 8192));
    for (auto [w, h] : {std::pair{32768u, 1u}, std::pair{1u, 40000u}, std::pair{16385u, 16384u}}) {
        const auto message = CheckWorkingSize(w, h);
        ASSERT_TRUE(message) << w << " x " << h;
        EXPECT_NE(message->find(std::to_string(w) + " x " + std::to_string(h)), std::string::npos);
    }
}

}  // namespace
}  // namespace tesselbox
