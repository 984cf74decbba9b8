// The baseline of the end-to-end benchmark: what the command-line tool must do anyway before any
// block is matched. Decodes a picture with the same decoder, and with --fit also shrinks it into
// 300 x 300 the same way. Prints nothing; the exit code says whether it worked.
#include "convert/FitToPanel.h"
#include "convert/Limits.h"
#include "convert/PictureImport.h"

#include <cstring>

int main(int argc, char** argv) {
    using namespace tesselbox;
    const bool fit = argc == 3 && std::strcmp(argv[1], "--fit") == 0;
    if (argc != 2 && !fit) return 2;
    const LoadedPicture loaded = LoadPicture(argv[argc - 1]);
    if (loaded.status != ImportStatus::Ok) return 1;
    if (!fit) return 0;
    const PictureSize size = FitToPanel(loaded.size);
    PixelSurface surface;
    if (!surface.Create(size.width, size.height)) return 1;
    return platform::DrawPicture(*loaded.picture, *surface.memory(), size.width, size.height) ? 0 : 1;
}
