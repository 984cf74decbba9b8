// The picture half of the Qt platform: what DecodePicture and DrawPicture leave in a surface.
#include "qt/Pictures.h"
#include "tests/cli/PictureBytes.h"
#include "tests/support/TempFolder.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QByteArray>
#include <QImage>

#include <memory>
#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif
#include <cstdio>
#include <string>
#include <vector>

namespace tesselbox::platform {
namespace {

using testing::TempFolder;
using testing::WriteBytes;

struct PictureDeleter {
    void operator()(Picture* picture) const { DisposePicture(picture); }
};
struct SurfaceDeleter {
    void operator()(SurfaceMemory* memory) const { ReleaseSurfaceMemory(memory); }
};

constexpr std::uint64_t LIMIT = std::uint64_t{16384} * 16384;

DecodedPicture DecodeBytes(const std::string& bytes, std::uint64_t maxPixels = LIMIT) {
    QByteArray data(bytes.data(), qsizetype(bytes.size()));
    QBuffer buffer(&data);
    buffer.open(QIODevice::ReadOnly);
    return DecodePictureFrom(buffer, maxPixels);
}

std::string Encode(const QImage& image, const char* format) {
    QByteArray data;
    QBuffer buffer(&data);
    buffer.open(QIODevice::WriteOnly);
    EXPECT_TRUE(image.save(&buffer, format, 95));
    return data.toStdString();
}

// A decoded picture drawn at width × height, read back top row first.
struct Drawn {
    std::uint32_t width = 0, height = 0;
    std::vector<Pixel> pixels;  // top row first
    Pixel At(std::uint32_t x, std::uint32_t y) const { return pixels[y * width + x]; }
};

Drawn Draw(const DecodedPicture& decoded, std::uint32_t width, std::uint32_t height) {
    Drawn drawn{width, height, {}};
    Pixel* bits = nullptr;
    std::unique_ptr<SurfaceMemory, SurfaceDeleter> memory(
        CreateSurfaceMemory(width, height, &bits));
    if (!memory || bits == nullptr) {
        ADD_FAILURE() << "no surface of " << width << " x " << height;
        return drawn;
    }
    EXPECT_TRUE(DrawPicture(*decoded.picture, *memory, width, height));
    for (std::uint32_t y = 0; y < height; ++y) {  // memory row 0 is the bottom picture row
        const Pixel* row = bits + std::size_t{height - 1 - y} * width;
        drawn.pixels.insert(drawn.pixels.end(), row, row + width);
    }
    return drawn;
}

TEST(QtPicture, PngAlphaBecomesPremultipliedBottomUpPixels) {
    // Channels that premultiply exactly (alpha 51 is one fifth), so no rounding rule is assumed.
    QImage image(2, 2, QImage::Format_ARGB32);
    image.setPixel(0, 0, qRgba(200, 100, 50, 51));
    image.setPixel(1, 0, qRgba(255, 255, 255, 0));
    image.setPixel(0, 1, qRgba(10, 20, 30, 255));
    image.setPixel(1, 1, qRgba(255, 0, 5, 255));
    const DecodedPicture decoded = DecodeBytes(Encode(image, "PNG"));
    std::unique_ptr<Picture, PictureDeleter> owner(decoded.picture);
    ASSERT_EQ(decoded.status, DecodeStatus::Ok) << decoded.message;
    EXPECT_EQ(decoded.width, 2u);
    EXPECT_EQ(decoded.height, 2u);
    EXPECT_EQ(decoded.message, "");
    const Drawn drawn = Draw(decoded, 2, 2);
    ASSERT_EQ(drawn.pixels.size(), 4u);
    EXPECT_EQ(drawn.At(0, 0), MakePixel(40, 20, 10, 51));
    EXPECT_EQ(drawn.At(1, 0), 0u);  // fully transparent: all zero
    EXPECT_EQ(drawn.At(0, 1), MakePixel(10, 20, 30, 255));
    EXPECT_EQ(drawn.At(1, 1), MakePixel(255, 0, 5, 255));
}

// Read where they lie, the decoded pixels are those a surface of the picture's size gets drawn,
// whether the decoder wrote them into memory of the caller's (opaque pictures) or its own.
TEST(QtPicture, ShownPixelsAreTheDrawnOnesTopRowFirst) {
    QImage image(5, 3, QImage::Format_ARGB32);
    for (int y = 0; y < 3; ++y) {
        for (int x = 0; x < 5; ++x) image.setPixel(x, y, qRgba(40 * x, 80 * y, 7, 60 * x + 10 * y));
    }
    struct Case {
        const char* format;
        bool offered, inOffered;
    };
    for (const Case c : {Case{"PNG", true, false}, Case{"JPEG", true, true},
                         Case{"BMP", true, true}, Case{"JPEG", false, false}}) {
        SCOPED_TRACE(std::string(c.format) + (c.offered ? " into offered memory" : ""));
        std::vector<Pixel> offered;
        const PictureMemory memoryFor = [&](std::uint32_t width, std::uint32_t height) {
            offered.assign(std::size_t{width} * height, 0);
            return offered.data();
        };
        QByteArray bytes = QByteArray::fromStdString(Encode(image, c.format));
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::ReadOnly);
        const DecodedPicture decoded =
            DecodePictureFrom(buffer, LIMIT, c.offered ? memoryFor : PictureMemory());
        std::unique_ptr<Picture, PictureDeleter> owner(decoded.picture);
        ASSERT_EQ(decoded.status, DecodeStatus::Ok) << decoded.message;
        const ShownPixels shown = PicturePixels(*decoded.picture);
        ASSERT_NE(shown.topRow, nullptr);
        EXPECT_EQ(shown.topRow == offered.data(), c.inOffered);
        const Drawn drawn = Draw(decoded, decoded.width, decoded.height);
        std::vector<Pixel> read(shown.topRow, shown.topRow + drawn.pixels.size());
        if (shown.opaque) {
            for (Pixel& p : read) p |= 0xFF000000u;
        }
        EXPECT_EQ(read, drawn.pixels);
    }
}

TEST(QtPicture, HandMade24BitBmpDecodesExactly) {
    const std::vector<testing::Rgb> pixels = {{255, 0, 0}, {0, 255, 0},     {0, 0, 255},
                                              {1, 2, 3},   {250, 251, 252}, {0, 0, 0}};
    const DecodedPicture decoded = DecodeBytes(testing::Bmp24(3, 2, pixels));
    std::unique_ptr<Picture, PictureDeleter> owner(decoded.picture);
    ASSERT_EQ(decoded.status, DecodeStatus::Ok) << decoded.message;
    ASSERT_EQ(decoded.width, 3u);
    ASSERT_EQ(decoded.height, 2u);
    const Drawn drawn = Draw(decoded, 3, 2);
    for (std::uint32_t i = 0; i < 6; ++i) {
        const auto& p = pixels[i];
        EXPECT_EQ(drawn.pixels[i], MakePixel(p.red, p.green, p.blue, 255)) << "pixel " << i;
    }
}

bool Near(Pixel pixel, int red, int green, int blue) {
    const auto close = [](int a, int b) { return a - b < 40 && b - a < 40; };
    return AlphaOf(pixel) == 255 && close(RedOf(pixel), red) && close(GreenOf(pixel), green) &&
           close(BlueOf(pixel), blue);
}

// 16 × 8 stored: red left, blue right. Orientation 6 turns it a quarter clockwise for display:
// 8 × 16, red on top. 1 is as stored.
TEST(QtPicture, JpegDecodesWithItsStoredOrientation) {
    QImage stored(16, 8, QImage::Format_RGB32);
    for (int y = 0; y < 8; ++y) {
        for (int x = 0; x < 16; ++x)
            stored.setPixel(x, y, x < 8 ? qRgb(255, 0, 0) : qRgb(0, 0, 255));
    }
    const std::string jpeg = Encode(stored, "JPEG");
    struct Case {
        std::uint16_t orientation;
        std::uint32_t width, height;
        std::uint32_t redX, redY, blueX, blueY;  // a point well inside each half
    };
    for (const Case& c :
         {Case{1, 16, 8, 3, 4, 12, 4}, Case{6, 8, 16, 4, 3, 4, 12}, Case{8, 8, 16, 4, 12, 4, 3}}) {
        const DecodedPicture decoded =
            DecodeBytes(testing::WithExifOrientation(jpeg, c.orientation));
        std::unique_ptr<Picture, PictureDeleter> owner(decoded.picture);
        ASSERT_EQ(decoded.status, DecodeStatus::Ok) << decoded.message;
        EXPECT_EQ(decoded.width, c.width) << "orientation " << c.orientation;
        EXPECT_EQ(decoded.height, c.height) << "orientation " << c.orientation;
        const Drawn drawn = Draw(decoded, decoded.width, decoded.height);
        if (drawn.pixels.empty()) continue;
        EXPECT_TRUE(Near(drawn.At(c.redX, c.redY), 255, 0, 0)) << "orientation " << c.orientation;
        EXPECT_TRUE(Near(drawn.At(c.blueX, c.blueY), 0, 0, 255)) << "orientation " << c.orientation;
    }
}

TEST(QtPicture, RefusesByTheHeaderBeforeDecoding) {
    // No pixels at all: refused by the size announced, before decoding (which would fail).
    DecodedPicture decoded = DecodeBytes(testing::PngHeaderClaiming(100000, 100000));
    EXPECT_EQ(decoded.status, DecodeStatus::TooLarge);
    EXPECT_EQ(decoded.picture, nullptr);
    EXPECT_EQ(decoded.width, 100000u);
    EXPECT_EQ(decoded.height, 100000u);
    EXPECT_NE(decoded.message.find("100000 x 100000"), std::string::npos) << decoded.message;

    // The limit itself is allowed.
    const std::string tenByTen = Encode(QImage(10, 10, QImage::Format_RGB32), "PNG");
    struct Case {
        std::uint64_t limit;
        DecodeStatus status;
    };
    for (const Case& c : {Case{100, DecodeStatus::Ok}, Case{99, DecodeStatus::TooLarge}}) {
        decoded = DecodeBytes(tenByTen, c.limit);
        std::unique_ptr<Picture, PictureDeleter> owner(decoded.picture);
        EXPECT_EQ(decoded.status, c.status) << "limit " << c.limit;
    }
}

// Opened by the bytes of its name, and only when it is a regular file: a FIFO would block the
// open, a device read forever.
TEST(QtPicture, OpensRegularFilesByTheBytesOfTheirName) {
    TempFolder folder;
    WriteBytes(folder / "garbage.png", "\x89PNG but then nothing that makes sense");
    WriteBytes(folder / "empty.bmp", "");
    const std::string gbkName = "\xB2\xE2\xCA\xD4.png";  // 测试 in GBK: no UTF-8
    QImage red(2, 1, QImage::Format_RGB32);
    red.fill(Qt::red);
    WriteBytes(folder / gbkName, Encode(red, "png"));
    struct Case {
        std::filesystem::path path;
        DecodeStatus status;
        const char* message;
    };
    std::vector<Case> cases = {
        {folder / "garbage.png", DecodeStatus::Unreadable, "cannot be read"},
        {folder / "empty.bmp", DecodeStatus::Unreadable, "cannot be read"},
        {folder / "missing.jpg", DecodeStatus::Unreadable, "cannot open the file: No such file"},
        {folder.path(), DecodeStatus::Unreadable, "cannot open the file: it is a folder"},
        {folder / gbkName, DecodeStatus::Ok, ""},
    };
#ifndef _WIN32
    ASSERT_EQ(mkfifo((folder / "fifo.png").c_str(), 0600), 0);
    cases.push_back({folder / "fifo.png", DecodeStatus::Unreadable, "cannot open the file: it is a FIFO"});
    cases.push_back({"/dev/zero", DecodeStatus::Unreadable, "cannot open the file: it is a device"});
#endif
    for (const Case& c : cases) {
        const DecodedPicture decoded = DecodePicture(c.path, LIMIT);
        std::unique_ptr<Picture, PictureDeleter> owner(decoded.picture);
        EXPECT_EQ(decoded.status, c.status) << c.path;
        EXPECT_EQ(decoded.picture != nullptr, c.status == DecodeStatus::Ok) << c.path;
        EXPECT_NE(decoded.message.find(c.message), std::string::npos) << c.path << ": " << decoded.message;
    }
}

#ifndef _WIN32
// libpng prints its errors on standard error itself; they become the reason for the refusal
// instead, and standard error stays clean.
TEST(QtPicture, LibpngErrorsAreTheReasonAndStayOffStandardError) {
    TempFolder folder;
    std::string png = testing::PngHeaderClaiming(4, 4);
    png[29] = char(png[29] ^ 0x55);  // the IHDR chunk's CRC
    WriteBytes(folder / "bad-crc.png", png);

    StartPictureServices();  // as a front end does
    std::fflush(stderr);
    const int saved = dup(2);
    const std::string caught = (folder / "stderr.txt").string();
    const int file = open(caught.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    ASSERT_GE(file, 0);
    dup2(file, 2);
    close(file);
    const DecodedPicture decoded = DecodePicture(folder / "bad-crc.png", LIMIT);
    std::fputs("passed on\n", stderr);  // standard error is itself again afterwards
    std::fflush(stderr);
    dup2(saved, 2);
    close(saved);
    StopPictureServices();

    EXPECT_EQ(decoded.status, DecodeStatus::Unreadable);
    EXPECT_EQ(decoded.message, "the picture cannot be read: IHDR: CRC error");
    EXPECT_EQ(testing::ReadBytes(folder / "stderr.txt"), "passed on\n");
}
#endif

// A one-pixel checker of black and white drawn at half size is an even gray: the drawing
// averages what it shrinks instead of picking one pixel in four.
TEST(QtPicture, ShrinkingAveragesThePixels) {
    QImage checker(600, 400, QImage::Format_RGB32);
    for (int y = 0; y < 400; ++y) {
        for (int x = 0; x < 600; ++x) {
            checker.setPixel(x, y, (x + y) % 2 == 0 ? qRgb(0, 0, 0) : qRgb(255, 255, 255));
        }
    }
    const DecodedPicture decoded = DecodeBytes(Encode(checker, "PNG"));
    std::unique_ptr<Picture, PictureDeleter> owner(decoded.picture);
    ASSERT_EQ(decoded.status, DecodeStatus::Ok) << decoded.message;
    const Drawn drawn = Draw(decoded, 300, 200);
    ASSERT_EQ(drawn.pixels.size(), 300u * 200u);
    int notGray = 0;
    for (const Pixel pixel : drawn.pixels) {
        const bool gray = AlphaOf(pixel) == 255 && RedOf(pixel) >= 120 && RedOf(pixel) <= 135 &&
                          GreenOf(pixel) == RedOf(pixel) && BlueOf(pixel) == RedOf(pixel);
        notGray += !gray;
    }
    EXPECT_EQ(notGray, 0);
}

}  // namespace
}  // namespace tesselbox::platform
