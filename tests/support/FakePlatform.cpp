#include "tests/support/FakePlatform.h"

#include <algorithm>

namespace tesselbox::platform {

struct Picture {
    fake::FakePicture data;
    const Pixel* inCallersMemory = nullptr;  // where DecodePicture put the pixels
};

SurfaceMemory* CreateSurfaceMemory(std::uint32_t width, std::uint32_t height, Pixel** bits) {
    *bits = nullptr;
    if (width == 0 || height == 0) return nullptr;
    fake::Script& script = fake::CurrentScript();
    if (script.failingSurfaces > 0) {
        --script.failingSurfaces;
        return nullptr;
    }
    auto* memory = new SurfaceMemory{width, height, std::vector<Pixel>(std::size_t{width} * height, 0)};
    *bits = memory->pixels.data();
    script.mostSurfaces = std::max(script.mostSurfaces, ++script.liveSurfaces);
    return memory;
}

void ReleaseSurfaceMemory(SurfaceMemory* memory) {
    if (memory == nullptr) return;
    --fake::CurrentScript().liveSurfaces;
    delete memory;
}

namespace {

DecodedPicture Decode(const std::filesystem::path& path, std::uint64_t maxPixels) {
    fake::Script& script = fake::CurrentScript();
    script.lastDecodeLimit = maxPixels;
    const auto found = script.pictures.find(path);
    if (found == script.pictures.end()) {
        return {nullptr, 0, 0, DecodeStatus::Unreadable, "not a picture", {}};
    }
    const fake::FakePicture& picture = found->second;
    if (std::uint64_t{picture.width} * picture.height > maxPixels) {
        return {nullptr, picture.width, picture.height, DecodeStatus::TooLarge, "too large", {}};
    }
    ++script.livePictures;
    return {new Picture{picture}, picture.width, picture.height, DecodeStatus::Ok, {}, {}};
}

}  // namespace

void DisposePicture(Picture* picture) {
    if (picture == nullptr) return;
    --fake::CurrentScript().livePictures;
    delete picture;
}

// Nearest-neighbour scaling: enough to tell the working size from the picture's size.
bool DrawPicture(const Picture& picture, SurfaceMemory& target, std::uint32_t width,
                 std::uint32_t height) {
    if (fake::CurrentScript().failDrawing) return false;
    const fake::FakePicture& from = picture.data;
    // The source column of each target column, worked out once: the largest tests draw 2^28 pixels.
    std::vector<std::size_t> columns(width);
    for (std::uint32_t x = 0; x < width; ++x) {
        columns[x] = static_cast<std::size_t>(x) * from.width / width;
    }
    for (std::uint32_t y = 0; y < height; ++y) {
        const std::size_t sy = std::size_t{y} * from.height / height;
        const Pixel* source = from.pixels.data() + sy * from.width;
        Pixel* row = target.pixels.data() + std::size_t{height - 1 - y} * width;
        for (std::uint32_t x = 0; x < width; ++x) {
            row[x] = from.opaque ? source[columns[x]] | 0xFF000000u : source[columns[x]];
        }
    }
    return true;
}

ShownPixels PicturePixels(const Picture& picture) {
    if (fake::CurrentScript().hidePixels) return {};
    if (picture.inCallersMemory != nullptr) return {picture.inCallersMemory, picture.data.opaque};
    return {picture.data.pixels.data(), picture.data.opaque};
}

DecodedPicture DecodePicture(const std::filesystem::path& path, std::uint64_t maxPixels,
                             const PictureMemory& memoryFor, const SizeCheck& checkSize) {
    DecodedPicture decoded = Decode(path, maxPixels);
    if (decoded.status == DecodeStatus::Ok && checkSize) {
        if (auto refused = checkSize(decoded.width, decoded.height)) {
            DisposePicture(decoded.picture);
            return {nullptr, decoded.width, decoded.height, DecodeStatus::TooLarge, std::move(*refused), {}};
        }
    }
    if (decoded.status != DecodeStatus::Ok || !memoryFor || !fake::CurrentScript().decodeInPlace) {
        return decoded;
    }
    Picture& picture = *decoded.picture;
    if (Pixel* memory = memoryFor(decoded.width, decoded.height)) {
        std::copy(picture.data.pixels.begin(), picture.data.pixels.end(), memory);
        picture.inCallersMemory = memory;
    }
    return decoded;
}

void StartPictureServices() { ++fake::CurrentScript().servicesRunning; }
void StopPictureServices() { --fake::CurrentScript().servicesRunning; }

}  // namespace tesselbox::platform

namespace tesselbox::fake {

Script& CurrentScript() {
    static Script script;
    return script;
}

void Reset() { CurrentScript() = Script{}; }

FakePicture SolidPicture(std::uint32_t width, std::uint32_t height, Pixel color) {
    return {width, height, std::vector<Pixel>(std::size_t{width} * height, color)};
}

}  // namespace tesselbox::fake
