// Nearest-color matching: plain Euclidean distance in RGB, ties to the lowest index.
#pragma once

#include "palette/ColorTable.h"

#include <cstdint>

namespace tesselbox {

double ColorDistance(std::uint8_t r1, std::uint8_t g1, std::uint8_t b1, std::uint8_t r2,
                     std::uint8_t g2, std::uint8_t b2);

// The reference: a full scan of the table for every call. Needs table.count >= 1.
std::int32_t FindNearestColor(const ColorTable& table, Pixel pixel);

}  // namespace tesselbox
