#include "palette/ColorMatch.h"

#include <cmath>

namespace tesselbox {

double ColorDistance(std::uint8_t r1, std::uint8_t g1, std::uint8_t b1, std::uint8_t r2,
                     std::uint8_t g2, std::uint8_t b2) {
    const int dr = r1 - r2;
    const int dg = g1 - g2;
    const int db = b1 - b2;
    return std::sqrt(static_cast<double>(dr * dr + dg * dg + db * db));
}

std::int32_t FindNearestColor(const ColorTable& table, Pixel pixel) {
    const std::uint8_t r = RedOf(pixel);
    const std::uint8_t g = GreenOf(pixel);
    const std::uint8_t b = BlueOf(pixel);
    std::int32_t best = 0;
    double bestDistance = ColorDistance(r, g, b, RedOf(table.colors[0]), GreenOf(table.colors[0]),
                                        BlueOf(table.colors[0]));
    for (std::int32_t i = 1; i < table.count; ++i) {
        const Pixel c = table.colors[static_cast<std::size_t>(i)];
        const double d = ColorDistance(r, g, b, RedOf(c), GreenOf(c), BlueOf(c));
        if (d < bestDistance) {
            best = i;
            bestDistance = d;
        }
    }
    return best;
}

}  // namespace tesselbox
