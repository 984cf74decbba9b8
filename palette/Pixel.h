// Pixel: one 32-bit value 0xAARRGGBB, so its bytes in memory are blue, green, red, alpha
// on a little-endian host; the surfaces, the color table and the matching share it.
#pragma once

#include <cstdint>

namespace tesselbox {

using Pixel = std::uint32_t;

constexpr std::uint8_t BlueOf(Pixel p) { return static_cast<std::uint8_t>(p); }
constexpr std::uint8_t GreenOf(Pixel p) { return static_cast<std::uint8_t>(p >> 8); }
constexpr std::uint8_t RedOf(Pixel p) { return static_cast<std::uint8_t>(p >> 16); }
constexpr std::uint8_t AlphaOf(Pixel p) { return static_cast<std::uint8_t>(p >> 24); }

constexpr Pixel MakePixel(std::uint8_t red, std::uint8_t green, std::uint8_t blue,
                          std::uint8_t alpha = 255) {
    return (Pixel{alpha} << 24) | (Pixel{red} << 16) | (Pixel{green} << 8) | Pixel{blue};
}

}  // namespace tesselbox
