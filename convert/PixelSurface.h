// A picture buffer of 32-bit Pixels, bottom-up: memory row 0 is the picture's bottom row, so the
// picture point (x, y), y from the top, is pixel (height - 1 - y) * width + x. The platform provides
// the memory, which is also its drawing target.
#pragma once

#include "palette/Pixel.h"
#include "platform/PictureServices.h"

#include <cstdint>
#include <utility>

namespace tesselbox {

class PixelSurface {
public:
    PixelSurface() = default;
    ~PixelSurface() { Release(); }
    PixelSurface(const PixelSurface&) = delete;
    PixelSurface& operator=(const PixelSurface&) = delete;
    PixelSurface(PixelSurface&& other) noexcept { Swap(other); }
    PixelSurface& operator=(PixelSurface&& other) noexcept {
        PixelSurface moved(std::move(other));
        Swap(moved);
        return *this;
    }

    // (Re)creates the surface all zero. A width or height of 0 leaves it created without pixels.
    // False, with the surface empty, when the size is beyond the limits or no memory could be had.
    bool Create(std::uint32_t width, std::uint32_t height);
    void Release();

    // Three states: empty (not created), created without pixels, created with pixels.
    bool IsCreated() const { return created_; }
    bool HasPixels() const { return memory_ != nullptr; }
    Pixel* bits() { return bits_; }
    const Pixel* bits() const { return bits_; }
    std::uint32_t width() const { return width_; }
    std::uint32_t height() const { return height_; }
    std::uint64_t pixelCount() const { return std::uint64_t{width_} * height_; }
    platform::SurfaceMemory* memory() { return memory_; }
    const platform::SurfaceMemory* memory() const { return memory_; }

    // Picture point (x, y) with y counted from the top.
    Pixel& At(std::uint32_t x, std::uint32_t y) {
        return bits_[std::size_t{height_ - 1 - y} * width_ + x];
    }

private:
    void Swap(PixelSurface& other) noexcept {
        std::swap(memory_, other.memory_);
        std::swap(bits_, other.bits_);
        std::swap(width_, other.width_);
        std::swap(height_, other.height_);
        std::swap(created_, other.created_);
    }

    platform::SurfaceMemory* memory_ = nullptr;
    Pixel* bits_ = nullptr;
    std::uint32_t width_ = 0;
    std::uint32_t height_ = 0;
    bool created_ = false;
};

}  // namespace tesselbox
