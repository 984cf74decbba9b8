// CIELAB under D65 from 8-bit sRGB (through linear light and XYZ), its inverse for dithering, and the
// CIEDE2000 color difference, which the perceptual match and the quality bench both measure with.
#pragma once

#include "palette/Pixel.h"

#include <array>
#include <cstdint>

namespace tesselbox {

struct Lab {
    double L = 0, a = 0, b = 0;
};

struct LinearRgb {
    double red = 0, green = 0, blue = 0;  // 0..1, linear light
};

// The 256 sRGB levels in linear light.
const std::array<double, 256>& LinearLevels();
// The 8-bit sRGB level whose linear value is nearest after encoding: round(255 * encode(v)), with v
// clamped to [0, 1]. It is how many of LevelSteps lie at or below v.
std::uint8_t SrgbLevelOf(double linear);
// The linear values where the encoded level steps from k to k + 1, rising.
const std::array<double, 255>& LevelSteps();

LinearRgb LinearOf(Pixel pixel);
Pixel PixelOf(const LinearRgb& color);  // alpha 255

Lab LabOf(const LinearRgb& color);
Lab LabOf(Pixel pixel);
LinearRgb LinearOf(const Lab& color);  // may lie outside [0, 1]

// CIEDE2000 with kL = kC = kH = 1, hue angles in degrees as its authors wrote it down.
double Ciede2000(const Lab& first, const Lab& second);

}  // namespace tesselbox
