// What the Win32 half of the platform shares between its files: the concrete forms of the seam's
// opaque types, UTF-8 to UTF-16 conversion and the main window the boxes and dialogs belong to.
#pragma once

#include "platform/WindowServices.h"

#include <windows.h>

#include <string>
#include <string_view>

namespace tesselbox::platform {

// A DIB section selected into its own memory DC: GDI+ draws into it, AlphaBlend reads from it,
// and the core reads and writes its pixels directly.
struct SurfaceMemory {
    HDC dc = nullptr;
    HBITMAP bitmap = nullptr;
    HGDIOBJ previousBitmap = nullptr;
};

// The hDC of the panel's DRAWITEMSTRUCT, origin at the panel's top-left corner.
struct PanelCanvas {
    HDC dc = nullptr;
};

}  // namespace tesselbox::platform

namespace tesselbox::win32 {

std::wstring Widen(std::string_view utf8);

// The owner of message boxes and dialogs: null until the main window's creation call has returned,
// so a box shown while the window is being created has no owner.
void SetMainWindow(HWND window);
HWND MainWindow();

}  // namespace tesselbox::win32
