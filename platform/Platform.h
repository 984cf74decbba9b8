// What Tesselbox needs of the operating system, and nothing more. One implementation per platform
// (platform/qt, platform/win32) and a fake in tests/; this is the only place a toolkit would show,
// so it shows none. All text is UTF-8.
#pragma once

#include "palette/Pixel.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <span>
#include <string>

namespace tesselbox::platform {

// ---- Pictures and surfaces: the half the command-line tool links too -------------------------

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
    std::string message;  // English, for the command line; empty when Ok
};

// Decodes JPEG, PNG and BMP at least, applying the stored orientation and no color management.
// A picture of more than maxPixels pixels is refused as TooLarge before its pixels are allocated.
DecodedPicture DecodePicture(const std::filesystem::path& path, std::uint64_t maxPixels);
void DisposePicture(Picture* picture);  // null is fine

// Draws the whole picture scaled (area-averaged when shrinking) into the rectangle (0, 0, width,
// height) of a surface of that size, composited over its zero pixels. False if drawing failed.
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

// Memory of the caller's for a decoded picture: width × height Pixels, or null for none.
using PictureMemory = std::function<Pixel*(std::uint32_t width, std::uint32_t height)>;

// DecodePicture, but straight into memory of the caller's where the platform can: once the size
// is known it asks memoryFor, and a picture decoded there keeps its pixels there (PicturePixels
// shows them at that address) and must be disposed of before that memory goes. Elsewhere it
// decodes as DecodePicture does and keeps nothing in that memory.
DecodedPicture DecodePictureInto(const std::filesystem::path& path, std::uint64_t maxPixels,
                                 const PictureMemory& memoryFor);

// Started before the first decode, stopped at shutdown (GDI+ on Windows; nothing elsewhere).
void StartPictureServices();
void StopPictureServices();

// ---- The window half --------------------------------------------------------------------------

enum class MessageKind { Error, Question };  // error: icon and OK; question: icon, Yes and No
enum class Answer { Ok, Yes, No };

// A modal box with the caption "Tesselbox", owned by the main window once it exists.
Answer ShowMessage(const std::string& text, MessageKind kind);

struct FileFilter {
    const char* text;     // shown in the file type box, "图片文件(*.jpg;*.png;*.bmp)"
    const char* pattern;  // "*.jpg;*.png;*.bmp"
};

// The one record the open and the save dialog share. filterIndex is the number (from 1) of the
// filter shown when the last dialog ended with a chosen file, 0 before; it carries over.
struct FileDialogRecord {
    bool prepared = false;
    std::uint32_t filterIndex = 0;
};

// Each dialog opens with an empty file name and appends defaultExtension to a typed name that has
// none. Open: only an existing file. Save: asks before replacing one. nullopt on cancel or failure.
std::optional<std::filesystem::path> ChooseOpenFile(FileDialogRecord& record,
                                                     std::span<const FileFilter> filters,
                                                     const char* defaultExtension);
std::optional<std::filesystem::path> ChooseSaveFile(FileDialogRecord& record,
                                                     std::span<const FileFilter> filters,
                                                     const char* defaultExtension);

struct PanelCanvas;  // a panel's drawing target during one paint, origin at its top-left corner

void FillPanelWhite(PanelCanvas& canvas, int width, int height);
// Blends source (sourceWidth × sourceHeight) over the panel at (0, 0), scaled to destination size,
// as premultiplied source-over with per-pixel alpha.
void BlendSurface(PanelCanvas& canvas, const SurfaceMemory& source, std::uint32_t sourceWidth,
                  std::uint32_t sourceHeight, std::uint32_t destinationWidth,
                  std::uint32_t destinationHeight);
// A one-pixel black line along the inside of (0, 0, width, height).
void FramePanelBlack(PanelCanvas& canvas, int width, int height);

// Asks the panel with that control identifier to repaint later.
void InvalidatePanel(int controlId);

// Runs work on a second thread while the window goes on painting, takes no input, cannot be
// closed and shows that it is busy; returns once work has, passing on what it threw. For work
// that may take a noticeable time.
void RunBusy(const std::function<void()>& work);

}  // namespace tesselbox::platform
