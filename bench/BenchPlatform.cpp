// Surface memory on the heap: all the benchmarks need of the platform.
#include "platform/PictureServices.h"

#include <vector>

namespace tesselbox::platform {

struct SurfaceMemory {
    std::vector<Pixel> pixels;
};

SurfaceMemory* CreateSurfaceMemory(std::uint32_t width, std::uint32_t height, Pixel** bits) {
    *bits = nullptr;
    if (width == 0 || height == 0) return nullptr;
    auto* memory = new SurfaceMemory{std::vector<Pixel>(std::size_t{width} * height, 0)};
    *bits = memory->pixels.data();
    return memory;
}

void ReleaseSurfaceMemory(SurfaceMemory* memory) { delete memory; }

}  // namespace tesselbox::platform
