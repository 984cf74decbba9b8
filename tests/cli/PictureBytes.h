// Picture files built byte by byte, independent of the decoder under test.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tesselbox::testing {

// A small, well-formed PNG whose IHDR chunk announces width × height; its pixels are missing.
std::string PngHeaderClaiming(std::uint32_t width, std::uint32_t height);

struct Rgb {
    std::uint8_t red, green, blue;
};
// An uncompressed 24-bit BMP (bottom-up rows padded to 4 bytes); pixels top row first.
std::string Bmp24(std::uint32_t width, std::uint32_t height, const std::vector<Rgb>& pixels);

// The JPEG with an EXIF APP1 segment holding only the orientation tag, placed after SOI.
std::string WithExifOrientation(const std::string& jpeg, std::uint16_t orientation);

}  // namespace tesselbox::testing
