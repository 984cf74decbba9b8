// The Win32 seam against real GDI, GDI+ and the file system: surfaces, decoding, drawing, the
// panels, and core file I/O on names outside the system code page.
#include "convert/PictureImport.h"
#include "app/PreviewPanels.h"
#include "palette/ColorTable.h"
#include "win32/Orientation.h"
#include "win32/Panels.h"
#include "win32/Pictures.h"
#include "win32/WindowServices.h"
#include "formats/BlockFile.h"
#include "tests/support/TempFolder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <iterator>
#include <stdexcept>
#include <filesystem>
#include <string>
#include <vector>

namespace tesselbox {
namespace {

namespace fs = std::filesystem;
using platform::DecodeStatus;

const fs::path DATA = TESSELBOX_WIN32_TEST_DATA;

struct Point {
    int x, y;
};

struct PictureServices : ::testing::Test {
    static void SetUpTestSuite() { platform::StartPictureServices(); }
    static void TearDownTestSuite() { platform::StopPictureServices(); }
};

// Both sides equal within tolerance in every channel.
::testing::AssertionResult Near(Pixel actual, Pixel expected, int tolerance) {
    for (int shift = 0; shift < 32; shift += 8) {
        const int a = static_cast<int>((actual >> shift) & 0xFFu);
        const int e = static_cast<int>((expected >> shift) & 0xFFu);
        if (std::abs(a - e) > tolerance) {
            char text[64];
            std::snprintf(text, sizeof text, "%08X, expected %08X", actual, expected);
            return ::testing::AssertionFailure() << text;
        }
    }
    return ::testing::AssertionSuccess();
}

// Decodes and draws a whole picture 1:1 into a new surface.
PixelSurface DrawWhole(const fs::path& path) {
    LoadedPicture loaded = LoadPicture(path);
    EXPECT_TRUE(loaded.outcome().ok()) << loaded.outcome().message;
    ConvertedPicture converted;
    const ColorTable table = [] {
        ColorTable one;
        ParseColorTable("1,0,0,0,0\n", one);
        return one;
    }();
    const PictureSize size = loaded.size();
    EXPECT_TRUE(MakeBlocks(std::move(loaded), table, {size}, converted).ok());
    return std::move(converted.source);
}

// A JPEG head: SOI, an optional JFIF APP0, an APP1 "Exif" block whose one IFD entry is given.
std::vector<std::byte> JpegHead(bool bigEndian, std::uint16_t tag, std::uint16_t type,
                                std::uint16_t value, bool withApp0 = false) {
    std::vector<std::uint8_t> bytes = {0xFF, 0xD8};
    if (withApp0) bytes.insert(bytes.end(), {0xFF, 0xE0, 0x00, 0x04, 0x4A, 0x46});
    auto put16 = [&](std::uint16_t v) {
        const std::uint8_t high = static_cast<std::uint8_t>(v >> 8), low = v & 0xFF;
        bytes.insert(bytes.end(), bigEndian ? std::initializer_list<std::uint8_t>{high, low}
                                            : std::initializer_list<std::uint8_t>{low, high});
    };
    bytes.insert(bytes.end(), {0xFF, 0xE1, 0x00, 0x22, 'E', 'x', 'i', 'f', 0, 0});
    bytes.insert(bytes.end(), bigEndian ? std::initializer_list<std::uint8_t>{'M', 'M'}
                                        : std::initializer_list<std::uint8_t>{'I', 'I'});
    put16(42);
    bigEndian ? (put16(0), put16(8)) : (put16(8), put16(0));  // IFD0 right after the header
    put16(1);
    put16(tag);
    put16(type);
    bigEndian ? (put16(0), put16(1)) : (put16(1), put16(0));  // one value
    put16(value);
    put16(0);
    put16(0), put16(0);  // no next IFD
    bytes.insert(bytes.end(), {0xFF, 0xDA, 0x00, 0x02});
    std::vector<std::byte> head;
    for (std::uint8_t b : bytes) head.push_back(std::byte{b});
    return head;
}

TEST(Win32Orientation, ReadsTheExifOrientationOfAJpeg) {
    const auto truncated = [] {
        auto head = JpegHead(false, 0x0112, 3, 6);
        head.resize(30);
        return head;
    }();
    const struct {
        const char* name;
        std::vector<std::byte> head;
        int orientation;
    } cases[] = {
        {"little-endian", JpegHead(false, 0x0112, 3, 6), 6},
        {"big-endian", JpegHead(true, 0x0112, 3, 8), 8},
        {"after a JFIF block", JpegHead(false, 0x0112, 3, 3, true), 3},
        {"other tag", JpegHead(false, 0x0110, 3, 6), 1},
        {"not a SHORT", JpegHead(false, 0x0112, 4, 6), 1},
        {"out of range", JpegHead(true, 0x0112, 3, 9), 1},
        {"cut short", truncated, 1},
        {"no JPEG", std::vector<std::byte>(40, std::byte{'x'}), 1},
        {"empty", {}, 1},
    };
    for (const auto& c : cases) EXPECT_EQ(win32::JpegOrientation(c.head), c.orientation) << c.name;
}

TEST(Win32Surface, IsZeroedBottomUpMemoryThatGdiDrawsInto) {
    Pixel* bits = nullptr;
    platform::SurfaceMemory* memory = platform::CreateSurfaceMemory(3, 2, &bits);
    ASSERT_NE(memory, nullptr);
    ASSERT_NE(bits, nullptr);
    EXPECT_EQ(std::vector<Pixel>(bits, bits + 6), std::vector<Pixel>(6, 0));

    // GDI's (x, y) counts from the top; memory row 0 is the bottom row.
    const struct {
        Point point;
        std::size_t index;
    } cases[] = {{{0, 0}, 3}, {{2, 0}, 5}, {{0, 1}, 0}, {{2, 1}, 2}};
    for (const auto& c : cases) {
        SetPixelV(memory->dc, c.point.x, c.point.y, RGB(10, 20, 30));
        GdiFlush();
        EXPECT_EQ(bits[c.index] & 0xFFFFFFu, MakePixel(10, 20, 30) & 0xFFFFFFu)
            << c.point.x << "," << c.point.y;
    }
    platform::ReleaseSurfaceMemory(memory);
}

TEST(Win32Surface, RefusesSizesWithoutPixelsOrBeyondADibSection) {
    const struct {
        std::uint32_t width, height;
    } cases[] = {{0, 0}, {300, 0}, {0, 5}, {0x80000000u, 1}, {65536, 16384}};
    for (const auto& c : cases) {
        Pixel* bits = reinterpret_cast<Pixel*>(&bits);
        EXPECT_EQ(platform::CreateSurfaceMemory(c.width, c.height, &bits), nullptr)
            << c.width << " x " << c.height;
        EXPECT_EQ(bits, nullptr);
    }
}

using Win32Decode = PictureServices;

TEST_F(Win32Decode, ReportsSizeAndStatus) {
    const struct {
        const char* file;
        std::uint64_t maxPixels;
        DecodeStatus status;
        std::uint32_t width, height;
    } cases[] = {
        {"rgba-4x3.png", 1000, DecodeStatus::Ok, 4, 3},
        {"rgb-4x3.bmp", 1000, DecodeStatus::Ok, 4, 3},
        {"sideways.jpg", 1000, DecodeStatus::Ok, 8, 4},
        {"oriented-3.jpg", 1000, DecodeStatus::Ok, 8, 4},
        {"oriented-6.jpg", 1000, DecodeStatus::Ok, 4, 8},  // turned upright: sides swap
        {"oriented-8.jpg", 1000, DecodeStatus::Ok, 4, 8},
        {"rgba-4x3.png", 12, DecodeStatus::Ok, 4, 3},
        {"rgba-4x3.png", 11, DecodeStatus::TooLarge, 4, 3},
        {"not-a-picture.png", 1000, DecodeStatus::Unreadable, 0, 0},
        {"missing.png", 1000, DecodeStatus::Unreadable, 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.file) + " max " + std::to_string(c.maxPixels));
        platform::DecodedPicture decoded = platform::DecodePicture(DATA / c.file, c.maxPixels);
        EXPECT_EQ(decoded.status, c.status);
        EXPECT_EQ(decoded.width, c.width);
        EXPECT_EQ(decoded.height, c.height);
        EXPECT_EQ(decoded.picture != nullptr, c.status == DecodeStatus::Ok);
        EXPECT_EQ(decoded.message.empty(), c.status == DecodeStatus::Ok) << decoded.message;
        platform::DisposePicture(decoded.picture);
    }
}

TEST_F(Win32Decode, OpensANameOutsideTheSystemCodePage) {
    testing::TempFolder folder;
    const fs::path name = folder.path() / L"\u56fe\u7247 \u2713 \u00fc\u0444.png";
    fs::copy_file(DATA / "rgba-4x3.png", name);
    platform::DecodedPicture decoded = platform::DecodePicture(name, 1000);
    EXPECT_EQ(decoded.status, DecodeStatus::Ok) << decoded.message;
    EXPECT_EQ(decoded.width, 4u);
    platform::DisposePicture(decoded.picture);
}

using Win32Draw = PictureServices;

TEST_F(Win32Draw, LeavesPremultipliedColorsAndTheirAlpha) {
    const struct {
        const char* file;
        Point point;
        Pixel expected;
        int tolerance;
    } cases[] = {
        {"rgba-4x3.png", {0, 0}, MakePixel(255, 0, 0), 0},
        {"rgba-4x3.png", {3, 0}, MakePixel(0x10, 0x20, 0x30), 0},
        {"rgba-4x3.png", {1, 1}, 0, 0},  // transparent: nothing composited over zero
        {"rgba-4x3.png", {2, 1}, MakePixel(128, 128, 128, 128), 0},
        {"rgba-4x3.png", {3, 1}, MakePixel(50, 100, 0, 128), 1},
        {"rgba-4x3.png", {1, 2}, MakePixel(0xfe, 0xfd, 0xfc), 0},
        {"rgb-4x3.bmp", {1, 1}, MakePixel(0x12, 0x34, 0x56), 0},  // no alpha: opaque
        {"rgb-4x3.bmp", {3, 2}, MakePixel(255, 255, 255), 0},
    };
    for (const auto& c : cases) {
        PixelSurface surface = DrawWhole(DATA / c.file);
        ASSERT_TRUE(surface.HasPixels()) << c.file;
        EXPECT_TRUE(Near(surface.At(c.point.x, c.point.y), c.expected, c.tolerance))
            << c.file << " at " << c.point.x << "," << c.point.y;
    }
}

TEST_F(Win32Draw, TurnsAPictureUprightByItsOrientation) {
    // Stored 8 x 4, left half red, right half blue. 6 turns it a quarter clockwise (the left
    // half goes to the top), 8 a quarter counter-clockwise, 3 half a turn.
    const Pixel red = MakePixel(255, 0, 0), blue = MakePixel(0, 0, 255);
    const struct {
        const char* file;
        Point first, second;
        Pixel firstColor, secondColor;
    } cases[] = {
        {"sideways.jpg", {1, 2}, {6, 2}, red, blue},
        {"oriented-3.jpg", {1, 2}, {6, 2}, blue, red},
        {"oriented-6.jpg", {2, 1}, {2, 6}, red, blue},
        {"oriented-8.jpg", {2, 1}, {2, 6}, blue, red},
    };
    for (const auto& c : cases) {
        PixelSurface surface = DrawWhole(DATA / c.file);
        ASSERT_TRUE(surface.HasPixels()) << c.file;
        ASSERT_GT(surface.width(), static_cast<std::uint32_t>(std::max(c.first.x, c.second.x)));
        ASSERT_GT(surface.height(), static_cast<std::uint32_t>(std::max(c.first.y, c.second.y)));
        EXPECT_TRUE(Near(surface.At(c.first.x, c.first.y), c.firstColor, 40)) << c.file;
        EXPECT_TRUE(Near(surface.At(c.second.x, c.second.y), c.secondColor, 40)) << c.file;
    }
}

// A 300 x 300 panel to paint into, as the DRAWITEMSTRUCT's DC would be, read back top row first.
class PanelTarget {
public:
    PanelTarget() { memory_ = platform::CreateSurfaceMemory(300, 300, &bits_); }
    ~PanelTarget() { platform::ReleaseSurfaceMemory(memory_); }
    win32::PanelPainter Canvas() const { return win32::PanelPainter(memory_->dc); }
    Pixel At(int x, int y) const {
        GdiFlush();
        return bits_[static_cast<std::size_t>(299 - y) * 300 + static_cast<std::size_t>(x)] |
               0xFF000000u;  // GDI leaves the alpha byte of what it paints undefined
    }

private:
    platform::SurfaceMemory* memory_ = nullptr;
    Pixel* bits_ = nullptr;
};

TEST_F(Win32Draw, PanelIsWhiteWithABlackFrameAndThePictureBlendedFromTheCorner) {
    PixelSurface surface = DrawWhole(DATA / "rgba-4x3.png");
    ASSERT_TRUE(surface.HasPixels());
    PanelTarget panel;
    win32::PanelPainter canvas = panel.Canvas();
    DrawPanel(canvas, {surface, 4, 3});

    const Pixel white = MakePixel(255, 255, 255), black = MakePixel(0, 0, 0);
    const struct {
        Point point;
        Pixel expected;
        int tolerance;
    } cases[] = {
        {{0, 0}, black, 0},   {{299, 0}, black, 0},   {{0, 299}, black, 0},
        {{299, 299}, black, 0}, {{150, 0}, black, 0}, {{150, 150}, white, 0},
        {{1, 1}, white, 0},                          // transparent, whatever its color
        {{2, 1}, white, 0},                          // half-transparent white
        {{3, 1}, MakePixel(177, 227, 127), 2},       // half alpha over white
        {{1, 2}, MakePixel(0xfe, 0xfd, 0xfc), 0},    // opaque, 1:1
        {{2, 2}, MakePixel(128, 128, 128), 0},
        {{4, 2}, white, 0},                          // beyond the display size
        {{1, 3}, white, 0},
    };
    for (const auto& c : cases) {
        EXPECT_TRUE(Near(panel.At(c.point.x, c.point.y), c.expected, c.tolerance))
            << c.point.x << "," << c.point.y;
    }
}

TEST_F(Win32Draw, PanelShrinksAPictureKeptLargerThanItsDisplaySize) {
    PixelSurface surface;
    ASSERT_TRUE(surface.Create(600, 400));
    for (std::uint32_t y = 0; y < 400; ++y)
        for (std::uint32_t x = 0; x < 600; ++x)
            surface.At(x, y) = x < 300 ? MakePixel(0, 0, 255) : MakePixel(255, 0, 0);
    PanelTarget panel;
    win32::PanelPainter canvas = panel.Canvas();
    DrawPanel(canvas, {surface, 300, 200});
    EXPECT_TRUE(Near(panel.At(100, 100), MakePixel(0, 0, 255), 0));
    EXPECT_TRUE(Near(panel.At(200, 100), MakePixel(255, 0, 0), 0));
    EXPECT_TRUE(Near(panel.At(200, 250), MakePixel(255, 255, 255), 0));
}

// Work under RunBusy runs on another thread while this one goes on dispatching messages (a
// timer's here), and what it throws comes back.
int busyTimerTicks = 0;
void CALLBACK CountTick(HWND, UINT, UINT_PTR, DWORD) { ++busyTimerTicks; }

TEST(Win32Busy, WorkRunsOnAnotherThreadWhileMessagesAreDispatched) {
    busyTimerTicks = 0;
    const UINT_PTR timer = SetTimer(nullptr, 0, 10, CountTick);
    ASSERT_NE(timer, 0u);
    DWORD workedOn = 0;
    win32::WindowServices services;
    services.RunBusy([&] {
        workedOn = GetCurrentThreadId();
        Sleep(300);
    });
    KillTimer(nullptr, timer);
    EXPECT_NE(workedOn, GetCurrentThreadId());
    EXPECT_GE(busyTimerTicks, 3);
    EXPECT_THROW(services.RunBusy([] { throw std::runtime_error("no"); }), std::runtime_error);
}

TEST(Win32CoreFiles, ReadAndReplaceFilesNamedOutsideTheSystemCodePage) {
    testing::TempFolder folder;
    const fs::path colors = folder.path() / L"\u989c\u8272.txt";
    testing::WriteBytes(colors, "35,14,161,39,35\r\n1,0,125,125,125\r\n");
    ColorTable table;
    ASSERT_TRUE(LoadColorTableFile(colors, table).ok());
    EXPECT_EQ(table.count, 2);

    const fs::path target = folder.path() / L"\u65b9\u5757.schematic";
    const std::int32_t grid[] = {0, 1, NO_BLOCK, 0};
    // The second write replaces the first file whole, which a plain rename on Windows refuses.
    for (const SchematicSource& source :
         {SchematicSource{0, 0, nullptr, &table}, SchematicSource{2, 2, grid, &table}}) {
        const BlockFileOutcome outcome = WriteBlockFile(target, source, {});
        ASSERT_TRUE(outcome.ok()) << outcome.message;
        EXPECT_EQ(fs::file_size(target), SchematicFileSize(source.width, source.height));
    }
    EXPECT_EQ(std::distance(fs::directory_iterator(folder.path()), fs::directory_iterator()), 2)
        << "no temporary file left behind";

    // A read-only file is refused, as opening it for writing would be, and stays as it was.
    ASSERT_TRUE(SetFileAttributesW(target.c_str(), FILE_ATTRIBUTE_READONLY));
    const auto before = fs::file_size(target);
    const BlockFileOutcome refused = WriteBlockFile(target, {0, 0, nullptr, &table}, {});
    SetFileAttributesW(target.c_str(), FILE_ATTRIBUTE_NORMAL);
    EXPECT_EQ(refused.status, BlockFileStatus::OpenFailed);
    EXPECT_EQ(fs::file_size(target), before);
}

}  // namespace
}  // namespace tesselbox
