// Scripted picture services for tests: pictures come from memory, surfaces are counted, and a
// script makes drawing or memory fail.
#pragma once

#include "platform/PictureServices.h"

#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace tesselbox::platform {

struct SurfaceMemory {
    std::uint32_t width;
    std::uint32_t height;
    std::vector<Pixel> pixels;  // bottom row first
};

}  // namespace tesselbox::platform

namespace tesselbox::fake {

struct FakePicture {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    std::vector<Pixel> pixels;  // top row first, premultiplied
    bool opaque = false;         // alpha bytes to be read as 255, as a decoded JPEG's
};

struct Script {
    std::map<std::filesystem::path, FakePicture> pictures;
    int servicesRunning = 0;
    int liveSurfaces = 0;
    int mostSurfaces = 0;     // the most alive at once
    int failingSurfaces = 0;  // this many next CreateSurfaceMemory calls fail, as without memory
    int livePictures = 0;
    bool failDrawing = false;
    bool hidePixels = false;      // PicturePixels gives null, as on Windows
    bool decodeInPlace = false;   // DecodePicture decodes into the caller's memory, given any
    std::uint64_t lastDecodeLimit = 0;
};

// The one script the fake platform reads; Reset before each test.
Script& CurrentScript();
void Reset();

// A solid picture of one color.
FakePicture SolidPicture(std::uint32_t width, std::uint32_t height, Pixel color);

}  // namespace tesselbox::fake
