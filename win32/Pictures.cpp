// Pictures and surfaces on Windows: DIB sections in memory DCs, decoded and drawn by GDI+ through
// its flat interface.
#include "win32/Orientation.h"
#include "win32/Pictures.h"

#include <gdiplus.h>

#include <cstddef>
#include <limits>
#include <memory>
#include <new>

namespace gdip = Gdiplus::DllExports;

namespace tesselbox::platform {

struct Picture {
    Gdiplus::GpImage* image = nullptr;
};

namespace {

// GDI+ is started once for the process and stopped with the token its start gave.
ULONG_PTR servicesToken = 0;
bool servicesRunning = false;

struct ImageDisposer {
    void operator()(Gdiplus::GpImage* image) const { gdip::GdipDisposeImage(image); }
};
using ImageHandle = std::unique_ptr<Gdiplus::GpImage, ImageDisposer>;

// The turn that shows a picture stored with this EXIF orientation (1 to 8) upright.
Gdiplus::RotateFlipType UprightTurn(int orientation) {
    switch (orientation) {
        case 2: return Gdiplus::RotateNoneFlipX;
        case 3: return Gdiplus::Rotate180FlipNone;
        case 4: return Gdiplus::RotateNoneFlipY;
        case 5: return Gdiplus::Rotate90FlipX;
        case 6: return Gdiplus::Rotate90FlipNone;
        case 7: return Gdiplus::Rotate270FlipX;
        case 8: return Gdiplus::Rotate270FlipNone;
        default: return Gdiplus::RotateNoneFlipNone;
    }
}

std::string Shown(const std::filesystem::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

}  // namespace

SurfaceMemory* CreateSurfaceMemory(std::uint32_t width, std::uint32_t height, Pixel** bits) {
    *bits = nullptr;
    // biWidth and biHeight are signed, biSizeImage is 32-bit.
    constexpr std::uint64_t maxBytes = std::numeric_limits<DWORD>::max();
    if (width == 0 || height == 0 || width > std::numeric_limits<LONG>::max() ||
        height > std::numeric_limits<LONG>::max() ||
        std::uint64_t{width} * height * 4 > maxBytes) {
        return nullptr;
    }
    auto* memory = new (std::nothrow) SurfaceMemory;
    if (memory == nullptr) return nullptr;
    memory->dc = CreateCompatibleDC(nullptr);
    if (memory->dc == nullptr) {
        delete memory;
        return nullptr;
    }
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = static_cast<LONG>(width);
    info.bmiHeader.biHeight = static_cast<LONG>(height);  // positive: bottom-up
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    info.bmiHeader.biSizeImage = width * height * 4;
    void* pixels = nullptr;
    memory->bitmap = CreateDIBSection(memory->dc, &info, DIB_RGB_COLORS, &pixels, nullptr, 0);
    if (memory->bitmap == nullptr || pixels == nullptr) {
        if (memory->bitmap != nullptr) DeleteObject(memory->bitmap);
        DeleteDC(memory->dc);
        delete memory;
        return nullptr;
    }
    memory->previousBitmap = SelectObject(memory->dc, memory->bitmap);
    *bits = static_cast<Pixel*>(pixels);  // a fresh DIB section is all zero
    return memory;
}

void ReleaseSurfaceMemory(SurfaceMemory* memory) {
    if (memory == nullptr) return;
    SelectObject(memory->dc, memory->previousBitmap);
    DeleteObject(memory->bitmap);
    DeleteDC(memory->dc);
    delete memory;
}

// GDI+ keeps its own bitmap, so memory of the caller's is never used.
DecodedPicture DecodePicture(const std::filesystem::path& path, std::uint64_t maxPixels,
                             const PictureMemory&, const SizeCheck& checkSize) {
    DecodedPicture decoded;
    Gdiplus::GpImage* loaded = nullptr;
    if (gdip::GdipLoadImageFromFile(path.c_str(), &loaded) != Gdiplus::Ok || loaded == nullptr) {
        decoded.message = "cannot read " + Shown(path) + " as a picture";
        return decoded;
    }
    ImageHandle image(loaded);
    const Gdiplus::RotateFlipType turn = UprightTurn(win32::JpegOrientation(path));
    if (turn != Gdiplus::RotateNoneFlipNone &&
        gdip::GdipImageRotateFlip(image.get(), turn) != Gdiplus::Ok) {
        decoded.message = "cannot turn " + Shown(path) + " upright";
        return decoded;
    }
    UINT width = 0;
    UINT height = 0;
    gdip::GdipGetImageWidth(image.get(), &width);
    gdip::GdipGetImageHeight(image.get(), &height);
    decoded.width = width;
    decoded.height = height;
    const std::uint64_t pixels = std::uint64_t{width} * height;
    if (pixels > maxPixels) {
        decoded.status = DecodeStatus::TooLarge;
        decoded.message = "the picture is " + std::to_string(width) + " x " +
                          std::to_string(height) + " pixels; at most " +
                          std::to_string(maxPixels) + " pixels are allowed";
        return decoded;
    }
    // GDI+ has read the header only: the pixels are decoded when first drawn.
    if (checkSize) {
        if (auto refused = checkSize(width, height)) {
            decoded.status = DecodeStatus::TooLarge;
            decoded.message = std::move(*refused);
            return decoded;
        }
    }
    auto* picture = new (std::nothrow) Picture{image.get()};
    if (picture == nullptr) {
        decoded.message = "not enough memory for " + Shown(path);
        return decoded;
    }
    image.release();
    decoded.picture = picture;
    decoded.status = DecodeStatus::Ok;
    return decoded;
}

void DisposePicture(Picture* picture) {
    if (picture == nullptr) return;
    gdip::GdipDisposeImage(picture->image);
    delete picture;
}

bool DrawPicture(const Picture& picture, SurfaceMemory& target, std::uint32_t width,
                 std::uint32_t height) {
    Gdiplus::GpGraphics* graphics = nullptr;
    if (gdip::GdipCreateFromHDC(target.dc, &graphics) != Gdiplus::Ok) return false;
    // The library's default settings: the picture is composited over the zero pixels, which
    // leaves premultiplied colors and its own alpha.
    const Gdiplus::GpStatus drawn =
        gdip::GdipDrawImageRectI(graphics, picture.image, 0, 0, static_cast<INT>(width),
                                 static_cast<INT>(height));
    gdip::GdipDeleteGraphics(graphics);
    GdiFlush();  // the core reads the pixels directly next
    return drawn == Gdiplus::Ok;
}

// GDI+ keeps its own bitmap, which is only read by drawing it.
ShownPixels PicturePixels(const Picture&) { return {}; }

void StartPictureServices() {
    if (servicesRunning) return;
    Gdiplus::GdiplusStartupInput input;  // version 1, background thread allowed
    servicesRunning = Gdiplus::GdiplusStartup(&servicesToken, &input, nullptr) == Gdiplus::Ok;
}

void StopPictureServices() {
    if (!servicesRunning) return;
    Gdiplus::GdiplusShutdown(servicesToken);
    servicesRunning = false;
}

}  // namespace tesselbox::platform
