// What the conversion and the command line need of the platform's pictures: decoding, surfaces
// that are drawing targets, drawing a picture into one, and encoding a PNG. One implementation per
// platform (qt/, win32/) and a fake in tests/; no toolkit shows here. All text is UTF-8.
#pragma once

#include "palette/Pixel.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace tesselbox::platform {

// The storage behind a PixelSurface: a zero-filled, bottom-up, 32-bit premultiplied-ARGB pixel
// buffer that is also a drawing target (a DIB section in a memory DC on Windows).
struct SurfaceMemory;

// Returns null (and *bits null) when width or height is 0 or the memory cannot be had.
SurfaceMemory* CreateSurfaceMemory(std::uint32_t width, std::uint32_t height, Pixel** bits);
void ReleaseSurfaceMemory(SurfaceMemory* memory);  // null is fine

struct Picture;  // a decoded picture

enum class DecodeStatus { Ok, Unreadable, TooLarge };

struct DecodedPicture {
    Picture* picture = nullptr;  // owned by the caller: DisposePicture
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    DecodeStatus status = DecodeStatus::Unreadable;
    std::string message;             // English, for the command line; empty when Ok
    std::vector<std::string> notes;  // what the decoder remarked on the way (English), if anything
};

// Memory of the caller's for a decoded picture: width × height Pixels, or null for none.
using PictureMemory = std::function<Pixel*(std::uint32_t width, std::uint32_t height)>;

// Asked with a picture's size once its header is read, before anything of that size is allocated
// or decoded; a message refuses the picture as TooLarge. It may wait (for memory, say).
using SizeCheck = std::function<std::optional<std::string>(std::uint32_t width, std::uint32_t height)>;

// Decodes JPEG, PNG and BMP at least, applying the stored orientation and no color management.
// A picture of more than maxPixels pixels is refused as TooLarge before its pixels are allocated.
// Where the platform can, it decodes straight into memory of the caller's: once the size is known
// it asks memoryFor, and a picture decoded there keeps its pixels there (PicturePixels shows them
// at that address) and must be disposed of before that memory goes. checkSize, if any, sees the
// size first.
DecodedPicture DecodePicture(const std::filesystem::path& path, std::uint64_t maxPixels,
                             const PictureMemory& memoryFor = {}, const SizeCheck& checkSize = {});
void DisposePicture(Picture* picture);  // null is fine

// Draws the whole picture scaled into the rectangle (0, 0, width, height) of a surface of that
// size, composited over its zero pixels. Qt averages the covered area when shrinking; GDI+ keeps its
// default filter, bilinear without prefiltering, which samples a large shrink. False if drawing failed.
bool DrawPicture(const Picture& picture, SurfaceMemory& target, std::uint32_t width,
                 std::uint32_t height);

// Where a decoded picture keeps its pixels: top row first, rows `width` pixels apart, as
// DrawPicture would copy them into a surface of the picture's own size, except that the alpha
// bytes of an opaque picture are to be read as 255. Lets a picture kept at its own size be
// converted without drawing a copy first.
struct ShownPixels {
    const Pixel* topRow = nullptr;  // null where the platform keeps them otherwise
    bool opaque = false;
};
ShownPixels PicturePixels(const Picture& picture);

// The surface as a PNG file's bytes, top row first, transparent where its alpha is 0. False,
// with an English reason in error, if it could not be encoded. For the command line's preview, so
// only where the command line runs (Qt).
bool EncodePng(const SurfaceMemory& surface, std::vector<std::uint8_t>& png, std::string& error);

// Started by a front end before its first decode, stopped at shutdown (GDI+ on Windows; on Qt,
// what libpng prints on standard error is caught meanwhile and made the picture's reason).
void StartPictureServices();
void StopPictureServices();

}  // namespace tesselbox::platform
