// What the window holds for a picture kept at its full size: its peak after the import (the
// source, the preview and the grid made from the decoded picture), and after a pick of its menu
// converts the kept source again. Prints both peaks of resident memory in MiB.
//     window_memory Colors.txt picture.png
#include "convert/Dither.h"
#include "convert/PictureImport.h"

#include <sys/resource.h>

#include <cstdio>

namespace {

long PeakMiB() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024;  // kilobytes on Linux
}

}  // namespace

int main(int argc, char** argv) {
    using namespace tesselbox;
    if (argc != 3) return 2;
    ColorTable table;
    if (!LoadColorTableFile(argv[1], table).ok()) return 1;
    platform::StartPictureServices();
    LoadedPicture loaded = LoadPicture(argv[2]);
    if (!loaded.outcome().ok()) return 1;
    const PictureRequest request{loaded.size(), true, true, {}};
    ConvertedPicture picture;
    if (!MakeBlocks(std::move(loaded), table, request, picture).ok()) return 1;
    std::printf("import: %ld MiB\n", PeakMiB());
    if (!ConvertAgain(table, {MatchMode::Rgb, DitherMode::FloydSteinberg}, picture).ok()) return 1;
    std::printf("after picking Floyd-Steinberg: %ld MiB\n", PeakMiB());
    platform::StopPictureServices();
    return 0;
}
