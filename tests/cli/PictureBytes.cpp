#include "tests/cli/PictureBytes.h"

#include <array>

namespace tesselbox::testing {
namespace {

void PutBigEndian(std::string& out, std::uint32_t value, int bytes) {
    for (int i = bytes - 1; i >= 0; --i) out.push_back(char((value >> (8 * i)) & 0xFF));
}

void PutLittleEndian(std::string& out, std::uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) out.push_back(char((value >> (8 * i)) & 0xFF));
}

std::uint32_t Crc32(const std::string& bytes) {  // the PNG/zlib CRC, bit by bit
    std::uint32_t crc = 0xFFFFFFFFu;
    for (const char c : bytes) {
        crc ^= std::uint8_t(c);
        for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

}  // namespace

std::string PngHeaderClaiming(std::uint32_t width, std::uint32_t height) {
    std::string png = "\x89PNG\r\n\x1a\n";
    std::string chunk = "IHDR";
    PutBigEndian(chunk, width, 4);
    PutBigEndian(chunk, height, 4);
    chunk +=
        std::string("\x08\x06\x00\x00\x00", 5);  // 8-bit RGBA, deflate, no filter, no interlace
    auto putChunk = [&png](const std::string& typeAndData) {
        PutBigEndian(png, std::uint32_t(typeAndData.size() - 4), 4);
        png += typeAndData;
        PutBigEndian(png, Crc32(typeAndData), 4);
    };
    putChunk(chunk);
    // A few compressed bytes (a zlib header and the start of a stream) and the end: without an
    // IDAT chunk a reader cannot even tell the size.
    putChunk(std::string("IDAT\x78\x9c\x62\x60\x00\x00", 10));
    putChunk("IEND");
    return png;
}

std::string Bmp24(std::uint32_t width, std::uint32_t height, const std::vector<Rgb>& pixels) {
    const std::uint32_t rowBytes = (width * 3 + 3) / 4 * 4;
    const std::uint32_t imageBytes = rowBytes * height;
    std::string bmp = "BM";
    PutLittleEndian(bmp, 54 + imageBytes, 4);  // file size
    PutLittleEndian(bmp, 0, 4);                // reserved
    PutLittleEndian(bmp, 54, 4);               // offset of the pixels
    PutLittleEndian(bmp, 40, 4);               // BITMAPINFOHEADER
    PutLittleEndian(bmp, width, 4);
    PutLittleEndian(bmp, height, 4);  // positive: bottom-up
    PutLittleEndian(bmp, 1, 2);       // planes
    PutLittleEndian(bmp, 24, 2);      // bits per pixel
    PutLittleEndian(bmp, 0, 4);       // BI_RGB
    PutLittleEndian(bmp, imageBytes, 4);
    PutLittleEndian(bmp, 2835, 4);  // 72 dpi
    PutLittleEndian(bmp, 2835, 4);
    PutLittleEndian(bmp, 0, 4);
    PutLittleEndian(bmp, 0, 4);
    for (std::uint32_t row = height; row-- > 0;) {
        std::string line;
        for (std::uint32_t x = 0; x < width; ++x) {
            const Rgb& p = pixels[row * width + x];
            line += {char(p.blue), char(p.green), char(p.red)};
        }
        line.resize(rowBytes, '\0');
        bmp += line;
    }
    return bmp;
}

std::string WithExifOrientation(const std::string& jpeg, std::uint16_t orientation) {
    std::string tiff = "II*";  // little-endian TIFF header, first IFD at offset 8
    tiff.push_back('\0');
    PutLittleEndian(tiff, 8, 4);
    PutLittleEndian(tiff, 1, 2);       // one entry
    PutLittleEndian(tiff, 0x0112, 2);  // Orientation
    PutLittleEndian(tiff, 3, 2);       // SHORT
    PutLittleEndian(tiff, 1, 4);       // one value
    PutLittleEndian(tiff, orientation, 2);
    PutLittleEndian(tiff, 0, 2);  // value padding
    PutLittleEndian(tiff, 0, 4);  // no next IFD
    const std::string payload = std::string("Exif\0\0", 6) + tiff;
    std::string segment = "\xFF\xE1";
    PutBigEndian(segment, std::uint32_t(payload.size() + 2), 2);
    segment += payload;
    return jpeg.substr(0, 2) + segment + jpeg.substr(2);  // right after SOI
}

}  // namespace tesselbox::testing
