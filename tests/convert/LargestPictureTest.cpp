// The largest picture Tesselbox accepts converts within the memory Limits.h documents, and one
// beyond it is refused before its memory is taken. Measured as the process's peak resident size,
// reset at the start of each case; the fake platform's surfaces are plain zero-filled vectors.
#include "convert/FitToPanel.h"
#include "convert/Limits.h"
#include "convert/PictureImport.h"
#include "tests/support/FakePlatform.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>

namespace tesselbox {
namespace {

constexpr std::uint64_t MiB = std::uint64_t{1} << 20;
constexpr std::uint64_t GiB = 1024 * MiB;
// Limits.h: two surfaces and the grid at 4 bytes a pixel.
constexpr std::uint64_t DOCUMENTED_CAP = 3 * GiB;
// Code, the test framework, thread stacks and the panel-sized extras.
constexpr std::uint64_t ALLOWANCE = 64 * MiB;

std::uint64_t StatusBytes(const std::string& field) {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind(field + ":", 0) == 0) return std::stoull(line.substr(field.size() + 1)) * 1024;
    }
    return 0;
}

// Starts a new peak: the high-water mark falls back to the current resident size.
bool ResetPeak() {
    std::ofstream clear("/proc/self/clear_refs");
    clear << "5";
    clear.flush();
    return clear.good();
}

class LargestPicture : public ::testing::Test {
protected:
    void SetUp() override {
        fake::Reset();
        ParseColorTable("1,0,255,0,0\n2,0,0,0,255\n", table_);
        // Two colors side by side, drawn up to the working size by the fake's nearest neighbour:
        // the picture itself costs nothing.
        fake::CurrentScript().pictures["two-colors.png"] = {2, 1, {0xFFFF0000u, 0xFF0000FFu}};
        loaded_ = LoadPicture("two-colors.png");
        ASSERT_TRUE(loaded_.outcome().ok());
        if (!ResetPeak()) GTEST_SKIP() << "cannot reset the peak resident size here";
        startBytes_ = StatusBytes("VmRSS");
    }

    std::uint64_t PeakGrowth() const { return StatusBytes("VmHWM") - startBytes_; }

    ColorTable table_;
    LoadedPicture loaded_;
    std::uint64_t startBytes_ = 0;
};

TEST_F(LargestPicture, ConvertsWithinTheDocumentedCap) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "runs in the release build only: under AddressSanitizer it takes a minute";
#endif
    const PictureSize largest{16384, 16384};
    ASSERT_FALSE(CheckWorkingSize(largest.width, largest.height));
    ConvertedPicture out;
    const ImportOutcome outcome = MakeBlocks(std::move(loaded_), table_, {largest}, out);
    ASSERT_EQ(outcome.status, ImportStatus::Ok) << outcome.message;
    EXPECT_LE(PeakGrowth(), DOCUMENTED_CAP + ALLOWANCE) << "peak growth in MiB: " << PeakGrowth() / MiB;

    ASSERT_EQ(out.grid.size(), std::size_t{16384} * 16384);
    EXPECT_EQ(out.grid.front(), 0);  // bottom-left: red
    EXPECT_EQ(out.grid.back(), 1);   // top-right: blue
    EXPECT_EQ(out.preview.At(16383, 0), 0xFF0000FFu);
}

TEST_F(LargestPicture, OneBeyondIsRefusedBeforeAnyLargeAllocation) {
    const PictureSize beyond[] = {{16385, 16384}, {16384, 16385}, {MAX_PICTURE_SIDE + 1, 1}};
    for (const PictureSize size : beyond) {
        ConvertedPicture out;
        const ImportOutcome outcome = MakeBlocks(LoadPicture("two-colors.png"), table_, {size}, out);
        EXPECT_EQ(outcome.status, ImportStatus::TooLarge) << size.width << " x " << size.height;
        EXPECT_NE(outcome.message.find(std::to_string(size.width) + " x " + std::to_string(size.height)),
                  std::string::npos)
            << outcome.message;
        EXPECT_EQ(fake::CurrentScript().liveSurfaces, 0);
        EXPECT_FALSE(out.source.IsCreated());
    }
    EXPECT_LT(PeakGrowth(), 16 * MiB) << "peak growth in MiB: " << PeakGrowth() / MiB;
}

}  // namespace
}  // namespace tesselbox
