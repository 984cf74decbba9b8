// The window's first conversion of a picture against converting it again after the blocks dialog
// chose other blocks. First: decoding the file, fitting it into 300 x 300 and converting it against
// the table at start-up (Colors.txt), and the same against the shipped modern table. Again:
// converting the source the window kept against the modern table, all of it (the dialog switched
// tables) and without its busy blocks (a quick choice). Each with every match and dithering choice;
// medians of RUNS, in milliseconds.
//     reconvert COLORS.txt RUNS PICTURE...
// prints "PICTURE CHOICE first first-modern again-modern again-modern-not-busy"
#include "convert/PictureImport.h"
#include "palette/BlockChoice.h"
#include "palette/ColorTable.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace {

using namespace tesselbox;

double MedianMs(int runs, const std::function<bool()>& work) {
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        const auto start = std::chrono::steady_clock::now();
        if (!work()) return -1;
        times.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 4) {
        std::fprintf(stderr, "usage: reconvert COLORS.txt RUNS PICTURE...\n");
        return 2;
    }
    // Tables are large (every entry's strings): kept on the heap.
    auto start = std::make_unique<ColorTable>();
    if (!LoadColorTableFile(argv[1], *start).ok()) return 1;
    auto modern = std::make_unique<ColorTable>();
    MakeModernTable(*modern);
    auto notBusy = std::make_unique<ColorTable>(*modern);
    ChooseBlocks(*notBusy, {}, {"busy"});
    const int runs = std::max(1, std::atoi(argv[2]));

    const struct {
        const char* name;
        ConversionChoice choice;
    } choices[] = {
        {"rgb", {MatchMode::Rgb, DitherMode::None}},
        {"perceptual", {MatchMode::Perceptual, DitherMode::None}},
        {"rgb+fs", {MatchMode::Rgb, DitherMode::FloydSteinberg}},
        {"perceptual+fs", {MatchMode::Perceptual, DitherMode::FloydSteinberg}},
        {"rgb+ordered", {MatchMode::Rgb, DitherMode::Ordered}},
        {"perceptual+ordered", {MatchMode::Perceptual, DitherMode::Ordered}},
    };
    platform::StartPictureServices();
    for (int p = 3; p < argc; ++p) {
        const std::filesystem::path path = argv[p];
        for (const auto& c : choices) {
            ConvertedPicture picture;
            const auto firstWith = [&](const ColorTable& table) {
                return MedianMs(runs, [&] {
                    LoadedPicture loaded = LoadPicture(path);
                    if (!loaded.outcome().ok()) return false;
                    const PictureRequest request{WorkingSize(loaded.size(), true), true, true, c.choice};
                    picture = ConvertedPicture{};
                    return MakeBlocks(std::move(loaded), table, request, picture).ok();
                });
            };
            const double firstModern = firstWith(*modern);
            const double first = firstWith(*start);
            const double again = MedianMs(runs, [&] { return ConvertAgain(*modern, c.choice, picture).ok(); });
            const double againNotBusy = MedianMs(runs, [&] { return ConvertAgain(*notBusy, c.choice, picture).ok(); });
            if (first < 0 || firstModern < 0 || again < 0 || againNotBusy < 0) {
                std::fprintf(stderr, "reconvert: %s could not be converted\n", path.string().c_str());
                return 1;
            }
            std::printf("%s %s %.2f %.2f %.2f %.2f\n", path.stem().string().c_str(), c.name, first, firstModern, again,
                        againNotBusy);
        }
    }
    platform::StopPictureServices();
    return 0;
}
