// The baseline of the end-to-end benchmark: what the command-line tool must do anyway before any
// block is matched. Decodes a picture with the same decoder, into memory of its own as the tool
// does, and with --fit also shrinks it into 300 x 300 the same way. Prints nothing; the exit code
// says whether it worked.
#include "convert/FitToPanel.h"
#include "convert/Limits.h"
#include "convert/PixelSurface.h"
#include "palette/BlockGrid.h"
#include "platform/PictureServices.h"

#include <cstring>

int main(int argc, char** argv) {
    using namespace tesselbox;
    const bool fit = argc == 3 && std::strcmp(argv[1], "--fit") == 0;
    if (argc != 2 && !fit) return 2;
    std::vector<Pixel, UninitializedAllocator<Pixel>> memory;  // as the block grid's
    const auto memoryFor = [&](std::uint32_t width, std::uint32_t height) {
        memory.resize(std::size_t{width} * height);
        return memory.data();
    };
    const platform::DecodedPicture decoded =
        platform::DecodePicture(argv[argc - 1], MAX_PICTURE_PIXELS, memoryFor);
    bool ok = decoded.status == platform::DecodeStatus::Ok && decoded.picture != nullptr;
    if (ok && fit) {
        const PictureSize size = FitToPanel({decoded.width, decoded.height});
        PixelSurface surface;
        ok = surface.Create(size.width, size.height) &&
             platform::DrawPicture(*decoded.picture, *surface.memory(), size.width, size.height);
    }
    platform::DisposePicture(decoded.picture);
    return ok ? 0 : 1;
}
