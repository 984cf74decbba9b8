#include "palette/Lab.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cmath>
#include <numbers>

namespace tesselbox {
namespace {

// D65 reference white and the sRGB primaries (IEC 61966-2-1).
constexpr double WHITE_X = 0.95047, WHITE_Y = 1.0, WHITE_Z = 1.08883;
constexpr double EPSILON = 216.0 / 24389.0, KAPPA = 24389.0 / 27.0;

double Decode(double encoded) {
    return encoded <= 0.04045 ? encoded / 12.92 : std::pow((encoded + 0.055) / 1.055, 2.4);
}

// The cube root over F's range (EPSILON, 1.1], at a fraction of std::cbrt's cost, which the search
// for a picture's every color pays: a first guess from the bits, within 3.2 %; two steps of
// Halley's iteration, each cubing the relative error; one of Newton's as a correction. Within
// 3 ulps of std::cbrt over the range.
double CubeRoot(double t) {
    double y = std::bit_cast<double>(std::bit_cast<std::uint64_t>(t) / 3 + 0x2A9F7893782DA1CEull);
    for (int step = 0; step < 2; ++step) {
        const double y3 = y * y * y;
        y *= (y3 + 2.0 * t) / (2.0 * y3 + t);
    }
    return y + (t / (y * y) - y) * (1.0 / 3.0);
}

double F(double t) { return t > EPSILON ? CubeRoot(t) : (KAPPA * t + 16.0) / 116.0; }

double InverseF(double f) {
    const double cube = f * f * f;
    return cube > EPSILON ? cube : (116.0 * f - 16.0) / KAPPA;
}

}  // namespace

const std::array<double, 255>& LevelSteps() {
    static const std::array<double, 255> steps = [] {
        std::array<double, 255> s{};
        for (int k = 0; k < 255; ++k) s[static_cast<std::size_t>(k)] = Decode((k + 0.5) / 255.0);
        return s;
    }();
    return steps;
}

namespace {

double Radians(double degrees) { return degrees * (std::numbers::pi / 180.0); }

}  // namespace

const std::array<double, 256>& LinearLevels() {
    static const std::array<double, 256> levels = [] {
        std::array<double, 256> l{};
        for (int k = 0; k < 256; ++k) l[static_cast<std::size_t>(k)] = Decode(k / 255.0);
        return l;
    }();
    return levels;
}

std::uint8_t SrgbLevelOf(double linear) {
    // A first guess from 4096 even slices of [0, 1], each holding at most two level steps, then
    // the steps themselves.
    constexpr int SLICES = 4096;
    static const std::array<std::uint8_t, SLICES + 1> guesses = [] {
        const std::array<double, 255>& steps = LevelSteps();
        std::array<std::uint8_t, SLICES + 1> g{};
        for (std::size_t i = 0; i < g.size(); ++i) {
            g[i] = static_cast<std::uint8_t>(
                std::upper_bound(steps.begin(), steps.end(), static_cast<double>(i) / SLICES) -
                steps.begin());
        }
        return g;
    }();
    if (!(linear > 0.0)) return 0;  // also NaN
    if (linear >= 1.0) return 255;
    const std::array<double, 255>& steps = LevelSteps();
    unsigned level = guesses[static_cast<std::size_t>(linear * SLICES)];
    while (level < 255 && linear >= steps[level]) ++level;
    return static_cast<std::uint8_t>(level);
}

LinearRgb LinearOf(Pixel pixel) {
    const std::array<double, 256>& levels = LinearLevels();
    return {levels[RedOf(pixel)], levels[GreenOf(pixel)], levels[BlueOf(pixel)]};
}

Pixel PixelOf(const LinearRgb& color) {
    return MakePixel(SrgbLevelOf(color.red), SrgbLevelOf(color.green), SrgbLevelOf(color.blue));
}

Lab LabOf(const LinearRgb& c) {
    const double x = 0.4124564 * c.red + 0.3575761 * c.green + 0.1804375 * c.blue;
    const double y = 0.2126729 * c.red + 0.7151522 * c.green + 0.0721750 * c.blue;
    const double z = 0.0193339 * c.red + 0.1191920 * c.green + 0.9503041 * c.blue;
    const double fx = F(x / WHITE_X), fy = F(y / WHITE_Y), fz = F(z / WHITE_Z);
    return {116.0 * fy - 16.0, 500.0 * (fx - fy), 200.0 * (fy - fz)};
}

Lab LabOf(Pixel pixel) { return LabOf(LinearOf(pixel)); }

LinearRgb LinearOf(const Lab& c) {
    const double fy = (c.L + 16.0) / 116.0;
    const double fx = fy + c.a / 500.0, fz = fy - c.b / 200.0;
    const double x = InverseF(fx) * WHITE_X, y = InverseF(fy) * WHITE_Y, z = InverseF(fz) * WHITE_Z;
    return {3.2404542 * x - 1.5371385 * y - 0.4985314 * z,
            -0.9692660 * x + 1.8760108 * y + 0.0415560 * z,
            0.0556434 * x - 0.2040259 * y + 1.0572252 * z};
}

double Ciede2000(const Lab& first, const Lab& second) {
    constexpr double POW25_7 = 6103515625.0;  // 25^7
    const auto pow7 = [](double v) {
        const double v2 = v * v;
        return v2 * v2 * v2 * v;
    };
    const double c1 = std::sqrt(first.a * first.a + first.b * first.b);
    const double c2 = std::sqrt(second.a * second.a + second.b * second.b);
    const double cMean7 = pow7((c1 + c2) / 2.0);
    const double g = 0.5 * (1.0 - std::sqrt(cMean7 / (cMean7 + POW25_7)));
    const double a1 = (1.0 + g) * first.a, a2 = (1.0 + g) * second.a;
    const double c1p = std::sqrt(a1 * a1 + first.b * first.b);
    const double c2p = std::sqrt(a2 * a2 + second.b * second.b);
    const auto hue = [](double b, double a) {
        if (a == 0.0 && b == 0.0) return 0.0;
        const double h = std::atan2(b, a) * (180.0 / std::numbers::pi);
        return h < 0.0 ? h + 360.0 : h;
    };
    const double h1 = hue(first.b, a1), h2 = hue(second.b, a2);

    const double deltaL = second.L - first.L;
    const double deltaC = c2p - c1p;
    const bool achromatic = c1p * c2p == 0.0;
    double deltaHue = 0.0;
    if (!achromatic) {
        deltaHue = h2 - h1;
        if (deltaHue > 180.0) deltaHue -= 360.0;
        if (deltaHue < -180.0) deltaHue += 360.0;
    }
    const double deltaH = 2.0 * std::sqrt(c1p * c2p) * std::sin(Radians(deltaHue / 2.0));

    const double lMean = (first.L + second.L) / 2.0;
    const double cMeanP = (c1p + c2p) / 2.0;
    double hMean = h1 + h2;
    if (!achromatic) {
        if (std::fabs(h1 - h2) <= 180.0) {
            hMean = (h1 + h2) / 2.0;
        } else {
            hMean = h1 + h2 < 360.0 ? (h1 + h2 + 360.0) / 2.0 : (h1 + h2 - 360.0) / 2.0;
        }
    }
    const double t = 1.0 - 0.17 * std::cos(Radians(hMean - 30.0)) + 0.24 * std::cos(Radians(2.0 * hMean)) +
                     0.32 * std::cos(Radians(3.0 * hMean + 6.0)) -
                     0.20 * std::cos(Radians(4.0 * hMean - 63.0));
    const double hueOffset = (hMean - 275.0) / 25.0;
    const double deltaTheta = 30.0 * std::exp(-hueOffset * hueOffset);
    const double cMeanP7 = pow7(cMeanP);
    const double rc = 2.0 * std::sqrt(cMeanP7 / (cMeanP7 + POW25_7));
    const double lOffset2 = (lMean - 50.0) * (lMean - 50.0);
    const double sl = 1.0 + 0.015 * lOffset2 / std::sqrt(20.0 + lOffset2);
    const double sc = 1.0 + 0.045 * cMeanP;
    const double sh = 1.0 + 0.015 * cMeanP * t;
    const double rt = -std::sin(Radians(2.0 * deltaTheta)) * rc;
    const double l = deltaL / sl, c = deltaC / sc, h = deltaH / sh;
    return std::sqrt(std::max(0.0, l * l + c * c + h * h + rt * c * h));
}

}  // namespace tesselbox
