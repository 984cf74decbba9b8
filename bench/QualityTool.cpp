// What bench/quality needs in C++: the table's colors as a picture for ImageMagick's -remap, a
// conversion with a chosen match and dithering (binary PPM in and out, the time it took on stderr),
// and the mean CIEDE2000 of a picture against a reference, as it stands and after a Gaussian blur
// in linear light.
// COLORS.txt is a color table file, or "modern" for the shipped modern table (top faces).
//   quality_tool palette COLORS.txt OUT.ppm
//   quality_tool convert COLORS.txt rgb|perceptual none|floyd-steinberg|refined|ordered linear|lab IN.ppm OUT.ppm
//       refined: Floyd-Steinberg with --refine
//   quality_tool measure REFERENCE.ppm PICTURE.ppm      prints "plain blurred"
//   quality_tool map flat|staircase|valley rgb|perceptual none|floyd-steinberg IN.ppm OUT.ppm
//       IN 128 x 128: one map of the newest game's map colors; OUT the map its blocks draw;
//       prints the mean column height
#include "blocks/MapColors.h"
#include "convert/Dither.h"
#include "convert/MapArt.h"
#include "palette/BlockChoice.h"
#include "palette/ColorTable.h"
#include "palette/Lab.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

namespace {

using namespace tesselbox;

struct Picture {
    std::uint32_t width = 0, height = 0;
    std::vector<Pixel> pixels;  // top row first
};

bool ReadPpm(const std::string& path, Picture& picture) {
    std::ifstream in(path, std::ios::binary);
    std::string magic;
    in >> magic;
    std::uint32_t fields[3] = {};  // width, height, largest sample; comments may come between
    for (std::uint32_t& field : fields) {
        while (in >> std::ws && in.peek() == '#') in.ignore(1 << 20, '\n');
        in >> field;
    }
    picture.width = fields[0];
    picture.height = fields[1];
    if (!in || magic != "P6" || fields[2] != 255) return false;
    in.get();
    std::vector<unsigned char> bytes(std::size_t{picture.width} * picture.height * 3);
    if (!in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size())))
        return false;
    picture.pixels.resize(bytes.size() / 3);
    for (std::size_t i = 0; i < picture.pixels.size(); ++i)
        picture.pixels[i] = MakePixel(bytes[3 * i], bytes[3 * i + 1], bytes[3 * i + 2]);
    return true;
}

bool WritePpm(const std::string& path, const Picture& picture) {
    std::ofstream out(path, std::ios::binary);
    out << "P6\n" << picture.width << " " << picture.height << "\n255\n";
    for (Pixel p : picture.pixels) {
        const char rgb[3] = {static_cast<char>(RedOf(p)), static_cast<char>(GreenOf(p)),
                             static_cast<char>(BlueOf(p))};
        out.write(rgb, 3);
    }
    return static_cast<bool>(out.flush());
}

// A separable Gaussian of sigma 1.5 pixels, cut at 4 sigma, the edges repeated outward.
std::vector<LinearRgb> Blurred(const Picture& picture) {
    constexpr double SIGMA = 1.5;
    constexpr int RADIUS = 6;
    double weights[2 * RADIUS + 1];
    double total = 0;
    for (int k = -RADIUS; k <= RADIUS; ++k) total += weights[k + RADIUS] = std::exp(-k * k / (2 * SIGMA * SIGMA));
    for (double& w : weights) w /= total;
    const auto w = static_cast<int>(picture.width), h = static_cast<int>(picture.height);
    std::vector<LinearRgb> linear(picture.pixels.size()), across(linear.size()), out(linear.size());
    for (std::size_t i = 0; i < linear.size(); ++i) linear[i] = LinearOf(picture.pixels[i]);
    const auto blur = [&](const std::vector<LinearRgb>& from, std::vector<LinearRgb>& to, int dx, int dy) {
        for (int y = 0; y < h; ++y) {
            for (int x = 0; x < w; ++x) {
                LinearRgb sum;
                for (int k = -RADIUS; k <= RADIUS; ++k) {
                    const int sx = std::clamp(x + k * dx, 0, w - 1), sy = std::clamp(y + k * dy, 0, h - 1);
                    const LinearRgb& c = from[static_cast<std::size_t>(sy * w + sx)];
                    const double weight = weights[k + RADIUS];
                    sum.red += weight * c.red;
                    sum.green += weight * c.green;
                    sum.blue += weight * c.blue;
                }
                to[static_cast<std::size_t>(y * w + x)] = sum;
            }
        }
    };
    blur(linear, across, 1, 0);
    blur(across, out, 0, 1);
    return out;
}

int Measure(const std::string& referencePath, const std::string& picturePath) {
    Picture reference, picture;
    if (!ReadPpm(referencePath, reference) || !ReadPpm(picturePath, picture) ||
        reference.width != picture.width || reference.height != picture.height) {
        std::cerr << "cannot read two PPM pictures of one size\n";
        return 1;
    }
    double plain = 0, blurred = 0;
    const std::vector<LinearRgb> blurredReference = Blurred(reference), blurredPicture = Blurred(picture);
    for (std::size_t i = 0; i < picture.pixels.size(); ++i) {
        plain += Ciede2000(LabOf(reference.pixels[i]), LabOf(picture.pixels[i]));
        blurred += Ciede2000(LabOf(blurredReference[i]), LabOf(blurredPicture[i]));
    }
    const auto count = static_cast<double>(picture.pixels.size());
    std::printf("%.4f %.4f\n", plain / count, blurred / count);
    return 0;
}

bool LoadTable(const std::string& colorsPath, ColorTable& table) {
    if (colorsPath == "modern") {
        MakeModernTable(table);
        return true;
    }
    if (LoadColorTableFile(colorsPath, table).ok()) return true;
    std::cerr << "cannot read the color table " << colorsPath << "\n";
    return false;
}

int Palette(const std::string& colorsPath, const std::string& outPath) {
    ColorTable table;
    if (!LoadTable(colorsPath, table)) return 1;
    Picture strip{static_cast<std::uint32_t>(table.count), 1, {}};
    for (std::int32_t i = 0; i < table.count; ++i) strip.pixels.push_back(table.colors[static_cast<std::size_t>(i)]);
    return WritePpm(outPath, strip) ? 0 : 1;
}

// The picture as the conversion reads it, bottom row first, every pixel opaque.
SourceRows RowsOf(const Picture& picture) {
    return {picture.pixels.data() + std::size_t{picture.height - 1} * picture.width, -std::ptrdiff_t{picture.width},
            picture.width, picture.height, true};
}

ConversionChoice ChoiceOf(const std::string& match, const std::string& dither) {
    ConversionChoice choice;
    choice.match = match == "perceptual" ? MatchMode::Perceptual : MatchMode::Rgb;
    choice.dither = dither == "floyd-steinberg" || dither == "refined" ? DitherMode::FloydSteinberg
                    : dither == "ordered"                           ? DitherMode::Ordered
                                                                    : DitherMode::None;
    choice.refine = dither == "refined";
    return choice;
}

int Map(char** args) {
    MapPaletteRequest request;
    request.mode = MapModeFromName(args[0]).value_or(MapMode::Flat);
    auto palette = std::make_unique<MapPalette>();
    if (MakeMapPalette(request, *palette)) return 1;
    Picture picture;
    if (!ReadPpm(args[3], picture) || picture.width != MAP_ART_SIDE || picture.height != MAP_ART_SIDE) {
        std::cerr << "cannot read a 128 x 128 PPM picture " << args[3] << "\n";
        return 1;
    }
    PixelSurface preview;
    if (!preview.Create(picture.width, picture.height)) return 1;
    const SourceRows rows = RowsOf(picture);
    BlockGrid grid;
    if (!ConvertWithChoice(palette->table, rows, ChoiceOf(args[1], args[2]), preview, grid)) return 1;
    MapArt art;
    BuildMapArt(grid, picture.width, picture.height, *palette, {request.mode, 1, 1, 0, nullptr}, art);
    // What the map shows, from its color ids: the base color in the shade its heights give.
    for (std::size_t i = 0; i < picture.pixels.size(); ++i) {
        const std::uint8_t id = art.pieces[0].colors[i];
        const auto rgb = blocks::MapShadeColor(static_cast<std::uint8_t>(id / 4), static_cast<std::uint8_t>(id % 4));
        picture.pixels[i] = MakePixel(rgb[0], rgb[1], rgb[2]);
    }
    std::printf("%.2f\n", art.meanColumnHeight);
    return WritePpm(args[4], picture) ? 0 : 1;
}

int Convert(char** args) {
    ColorTable table;
    if (!LoadTable(args[0], table)) return 1;
    const std::string space = args[3];
    const ConversionChoice choice = ChoiceOf(args[1], args[2]);
    Picture picture;
    if (!ReadPpm(args[4], picture)) {
        std::cerr << "cannot read the PPM picture " << args[4] << "\n";
        return 1;
    }
    PixelSurface preview;
    if (!preview.Create(picture.width, picture.height)) return 1;
    const SourceRows rows = RowsOf(picture);
    BlockGrid grid;
    const auto start = std::chrono::steady_clock::now();
    if (!ConvertWithChoice(table, rows, choice, preview, grid,
                           space == "lab" ? ErrorSpace::Lab : ErrorSpace::LinearLight)) {
        std::cerr << "out of memory\n";
        return 1;
    }
    const std::chrono::duration<double> spent = std::chrono::steady_clock::now() - start;
    std::cerr << spent.count() * 1e3 << " ms\n";
    for (std::uint32_t y = 0; y < picture.height; ++y)
        for (std::uint32_t x = 0; x < picture.width; ++x)
            picture.pixels[std::size_t{y} * picture.width + x] = preview.At(x, y);
    return WritePpm(args[5], picture) ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string command = argc > 1 ? argv[1] : "";
    if (command == "palette" && argc == 4) return Palette(argv[2], argv[3]);
    if (command == "convert" && argc == 8) return Convert(argv + 2);
    if (command == "measure" && argc == 4) return Measure(argv[2], argv[3]);
    if (command == "map" && argc == 7) return Map(argv + 2);
    std::cerr << "usage: see the head of bench/QualityTool.cpp\n";
    return 2;
}
