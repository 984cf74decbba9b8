#include "convert/PixelSurface.h"

#include "convert/Limits.h"

namespace tesselbox {

bool PixelSurface::Create(std::uint32_t width, std::uint32_t height) {
    Release();
    if (CheckWorkingSize(width, height)) return false;
    if (width > 0 && height > 0) {
        memory_ = platform::CreateSurfaceMemory(width, height, &bits_);
        if (memory_ == nullptr) {
            bits_ = nullptr;
            return false;
        }
    }
    width_ = width;
    height_ = height;
    created_ = true;
    return true;
}

void PixelSurface::Release() {
    platform::ReleaseSurfaceMemory(memory_);
    memory_ = nullptr;
    bits_ = nullptr;
    width_ = 0;
    height_ = 0;
    created_ = false;
}

}  // namespace tesselbox
