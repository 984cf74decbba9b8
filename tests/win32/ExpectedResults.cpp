// What the Windows program must show and write for the end-to-end test's picture, computed on this
// machine by the same commands over the fake platform:
//   tesselbox_windows_expected COLORS_TXT FOLDER
// writes into FOLDER picture.rgba (the 120 x 80 test picture, RGBA top row first, for ImageMagick
// to make the PNG the program opens), expected.schematic, and the panels as 300 x 300 PPM files:
// empty-panel.ppm (before any import), source-panel.ppm and preview-panel.ppm (after it).
#include "app/AppState.h"
#include "app/Commands.h"
#include "app/WindowLayout.h"
#include "tests/support/FakePlatform.h"
#include "tests/support/FakeWindowServices.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using tesselbox::Pixel;

constexpr std::uint32_t WIDTH = 120;
constexpr std::uint32_t HEIGHT = 80;

struct Rgba {
    std::uint8_t r, g, b, a;
};

// Opaque colors above; below, left to right: transparent, alpha 229 (just below the threshold)
// and 230 (just at it). Translucent pixels use only 0 and 255 in their channels, so that every
// premultiplication rounds them alike: GDI+ decoding and this file agree to the bit.
Rgba PictureAt(std::uint32_t x, std::uint32_t y) {
    const auto byte = [](std::uint32_t v) { return static_cast<std::uint8_t>(v & 0xFFu); };
    if (y < 60) return {byte(x * 2), byte(y * 3 + x), byte(x * y), 255};
    if (x < 40) return {byte(x * 5), byte(y), 77, 0};
    const std::uint8_t r = (x / 5) % 2 ? 255 : 0, g = y % 2 ? 255 : 0;
    return {r, g, 255, static_cast<std::uint8_t>(x < 80 ? 229 : 230)};
}

Pixel Premultiplied(Rgba c) {
    const auto times = [&](std::uint8_t v) {
        return static_cast<std::uint8_t>((v * c.a + 127) / 255);
    };
    return tesselbox::MakePixel(times(c.r), times(c.g), times(c.b), c.a);
}

bool WritePpm(const fs::path& path, const tesselbox::fake::Canvas& canvas) {
    std::ofstream out(path, std::ios::binary);
    out << "P6\n" << canvas.width << ' ' << canvas.height << "\n255\n";
    for (Pixel p : canvas.pixels) {
        const char rgb[3] = {static_cast<char>(tesselbox::RedOf(p)),
                             static_cast<char>(tesselbox::GreenOf(p)),
                             static_cast<char>(tesselbox::BlueOf(p))};
        out.write(rgb, 3);
    }
    return static_cast<bool>(out);
}

}  // namespace

int main(int argc, char** argv) {
    using namespace tesselbox;
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s COLORS_TXT FOLDER\n", argv[0]);
        return 2;
    }
    const fs::path folder = argv[2];
    fs::create_directories(folder);

    std::vector<char> raw;
    fake::FakePicture picture{WIDTH, HEIGHT, {}};
    for (std::uint32_t y = 0; y < HEIGHT; ++y) {
        for (std::uint32_t x = 0; x < WIDTH; ++x) {
            const Rgba c = PictureAt(x, y);
            raw.insert(raw.end(), {static_cast<char>(c.r), static_cast<char>(c.g),
                                   static_cast<char>(c.b), static_cast<char>(c.a)});
            picture.pixels.push_back(Premultiplied(c));
        }
    }
    std::ofstream(folder / "picture.rgba", std::ios::binary)
        .write(raw.data(), static_cast<std::streamsize>(raw.size()));

    fake::Reset();
    fake::Script& script = fake::CurrentScript();
    const fs::path picturePath = "picture.png";
    script.pictures[picturePath] = picture;
    fake::WindowServices services;
    services.dialogAnswers = {{picturePath, 1}, {folder / "expected.schematic", 1}};

    AppState state{services};
    state.colorTablePath = argv[1];
    if (!OnCreate(state)) {
        std::fprintf(stderr, "cannot read the color table %s\n", argv[1]);
        return 1;
    }
    fake::Canvas empty, source, preview;
    DispatchDrawItem(state, layout::IDC_SOURCE_PANEL, empty);
    DispatchCommand(state, 0, layout::IDC_CHOOSE_PICTURE);
    DispatchCommand(state, 0, layout::IDC_GENERATE);
    DispatchDrawItem(state, layout::IDC_SOURCE_PANEL, source);
    DispatchDrawItem(state, layout::IDC_PREVIEW_PANEL, preview);
    OnDestroy(state);

    for (const auto& [text, kind] : services.messages) {
        std::fprintf(stderr, "unexpected message: %s\n", text.c_str());
    }
    const bool written = WritePpm(folder / "empty-panel.ppm", empty) &&
                         WritePpm(folder / "source-panel.ppm", source) &&
                         WritePpm(folder / "preview-panel.ppm", preview);
    return written && services.messages.empty() && fs::exists(folder / "expected.schematic") ? 0 : 1;
}
